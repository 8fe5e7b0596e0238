// A skin author's first look, from Windows Script Host: the installed extension, made
// by its ProgID, shows what the demo data server sends, and the registered DLL carries
// the package's version. cscript live.js VERSION prints "ZELMKVEL PACKAGE LIVE" when
// all of that held (cscript exits 0 even on an uncaught error: only the marker counts).
var failures = 0;
function check(what, ok) {
  if (!ok) {
    WScript.Echo("FAIL: " + what);
    failures++;
  }
}

var ext = new ActiveXObject("ZelmKvel.RRExtension");
// RideRunner hands every command, "CE_Open" at start-up too, to its extensions.
var host = {
  GetInfo: function (query) { return ""; },
  Execute: function (command, flag) { ext.ProcessCommand(command, host); return ""; }
};
ext.Init(host);
ext.Initialize("C:\\Zelm");

// Frames of a hundred-odd label requests, as a skin asks for them, with a pause between
// (a message box that closes itself: Wine's cscript has no WScript.Sleep). A script
// takes the server's records only while the extension waits in its own sends, so the
// values come in, but do not keep changing as under a host with a message loop.
var shell = new ActiveXObject("WScript.Shell");
var labels = {
  ce_enginespeed: { title: "Engine speed", unit: "rpm", low: 0, high: 7000 },  // from a start
  ce_voltage: { title: "Battery voltage", unit: "V", low: 10, high: 16 },
  ce_coolanttemp: { title: "Coolant temperature", unit: "\u00B0C", low: -40, high: 130 }
};
var values = {};
for (var frame = 0, shown = 0; frame < 10 && shown < 3; frame++) {
  for (var repeat = 0; repeat < 34; repeat++) {
    shown = 0;
    for (var code in labels) {
      values[code] = ext.ReturnLabel(code, "");
      if (values[code] != "-") shown++;
    }
  }
  if (shown < 3) shell.Popup("frame " + frame, 1, "ZelmKvel package test", 0);
}
for (var code in labels) {
  var want = labels[code];
  var value = values[code];
  WScript.Echo(code + " = " + value + " " + ext.ReturnLabel(code + "_unit", ""));
  check(code + " " + value + " between " + want.low + " and " + want.high,
        value != "-" && Number(value) >= want.low && Number(value) <= want.high);
  check(code + "_title", ext.ReturnLabel(code + "_title", "") == want.title);
  check(code + "_unit", ext.ReturnLabel(code + "_unit", "") == want.unit);
}

// The version a user sees in the file's properties, of the DLL the class is registered with.
var path = shell.RegRead("HKCR\\CLSID\\{96FE9075-3A48-4F32-A27C-CE200FC2E170}\\InprocServer32\\");
var version = new ActiveXObject("Scripting.FileSystemObject").GetFileVersion(path);
check("file version " + version, version == WScript.Arguments(0) + ".0");

WScript.Echo(failures == 0 ? "ZELMKVEL PACKAGE LIVE" : failures + " checks failed");
