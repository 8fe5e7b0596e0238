// A front-end that holds ZelmKvel while it runs: made by its ProgID and given its API
// object, kept until the file named by the argument exists (a minute at most).
// cscript hold.js FILE prints "ZELMKVEL HELD" when it let go.
var ext = new ActiveXObject("ZelmKvel.RRExtension");
ext.Init({ GetInfo: function (query) { return ""; }, Execute: function (command, flag) { return ""; } });
var files = new ActiveXObject("Scripting.FileSystemObject");
var shell = new ActiveXObject("WScript.Shell");
for (var second = 0; second < 60 && !files.FileExists(WScript.Arguments(0)); second++)
  shell.Popup("", 1, "hold.js", 0);  // a box that closes itself: Wine's cscript has no WScript.Sleep
ext = null;
WScript.Echo("ZELMKVEL HELD");
