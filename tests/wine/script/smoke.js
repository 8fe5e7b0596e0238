// Late-bound smoke test from Windows Script Host: the extension created by its ProgID,
// a JScript object as RideRunner's API object. Prints "ZELMKVEL SMOKE PASSED" when
// every check holds (cscript itself exits 0 even on an uncaught error).
var failures = 0;
function check(what, ok) {
  if (!ok) {
    WScript.Echo("FAIL: " + what);
    failures++;
  }
}

var calls = [];
var host = {
  GetInfo: function (query) {
    calls.push("GetInfo " + query);
    return query == "=$CheckEngineDinamicLabel$" ? "CE_Speed" : "";
  },
  Execute: function (command, flag) {
    calls.push("Execute " + command + " " + flag);
    return "";
  },
  SkinName: function () {
    return "OurSkinName";
  }
};

var ext = new ActiveXObject("ZelmKvel.RRExtension");

// Initialize needs the host: before Init it fails by the error convention.
try {
  ext.Initialize("C:\\Zelm");
  check("Initialize before Init fails", false);
} catch (e) {
  check("error number " + e.number, e.number == -2147418113);  // E_UNEXPECTED
  check("error description " + e.description, e.description == "Invalid variant operation");
}

ext.Init(host);
ext.Initialize("C:\\Zelm");
check("Initialize asks the host 17 times, not " + calls.length, calls.length == 17);
for (var i = 0; i < 16; i++) {
  var name = i == 0 ? "CheckEngineDinamicLabel" : "CheckEngineDinamicLabel_" + i;
  check("read " + i + ": " + calls[i], calls[i] == "GetInfo =$" + name + "$");
}
check("then " + calls[16], calls[16] == "Execute CE_Open false");

check("indicator", ext.ReturnIndicatorEx("ce_speed") == "False");
check("slider", ext.ReturnSlider("ce_speed") == "");
check("slot name", ext.ReturnLabel("ce_dinamic_label_name", "") == "ce_speed");
check("no value yet", ext.ReturnLabel("ce_speed", "") == "-");
check("ce_open is ours", ext.ProcessCommand("CE_Open", host) == 2);
check("others are not", ext.ProcessCommand("play", host) == 0);
ext.OnLoadSkin(host);
check("list count", ext.CommonListItemCount(host) == 2);
check("list item", ext.CommonListItem(host, 1) == "LSTc:\\2.txt\nItem 2");

if (failures == 0) {
  WScript.Echo("ZELMKVEL SMOKE PASSED");
} else {
  WScript.Echo(failures + " checks failed");
}
