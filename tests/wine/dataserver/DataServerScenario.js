// The data-server scenario from a script client: the extension made by its ProgID, a
// JScript object as RideRunner's API object, and "ce_speed" answered first with "-"
// (the Add goes out) and then with the value the stand-in sent back.
// Run with cscript by the data-server tests; it prints ZELM-SCRIPT-OK when all held.
var ext = null;
// A script passes an object for the skin: JScript's null is VT_NULL, which the
// type-library dispatcher will not turn into an IDispatch.
var skin = { SkinName: function () { return "ScriptSkin"; } };
var host = {
  GetInfo: function (query) { return ""; },
  // The host runs the command it is given, and hands it to its extensions.
  Execute: function (command, flag) { ext.ProcessCommand(command, skin); return ""; }
};

function check(what, got, expected) {
  if (got !== expected) {
    WScript.Echo("SCENARIO FAILED: " + what + " gave '" + got + "', expected '" + expected + "'");
    WScript.Quit(1);
  }
}

try {
  ext = new ActiveXObject("ZelmKvel.RRExtension");
  ext.Init(host);
  ext.Initialize("C:\\Zelm");
  check("ce_speed, first", ext.ReturnLabel("ce_speed", ""), "-");
  check("ce_speed, second", ext.ReturnLabel("ce_speed", ""), "87");
  check("ce_speed_title", ext.ReturnLabel("ce_speed_title", ""), "Vehicle speed");
  check("ce_speed_unit", ext.ReturnLabel("ce_speed_unit", ""), "km/h");
  check("ce_close", ext.ProcessCommand("ce_close", skin), 2);
  WScript.Echo("ZELM-SCRIPT-OK");
} catch (e) {
  WScript.Echo("SCENARIO FAILED: " + e.number + " " + e.description);
  WScript.Quit(1);
}
