// Drives the registered extension as RideRunner would, with a JScript object for
// RideRunner's API object, and prints every call and answer. Run by main-job.sh.
function show(what, answer) {
  WScript.Echo("  " + what + " -> " + (typeof answer == "string" ? '"' + answer + '"' : answer));
}

// RideRunner's variables, as a skin might have saved them.
var variables = {
  "CheckEngineDinamicLabel": "CE_Speed",
  "CheckEngineDinamicLabel_1": "ce_enginespeed",
  "CheckEngineDinamicLabel_2": "ce_maxspeed"
};
var ext;
var host = {
  GetInfo: function (query) {
    var name = query.replace(/^=\$(.*)\$$/, "$1");
    var value = variables[name] || "";
    WScript.Echo("    host GetInfo " + query + " -> \"" + value + "\"");
    return value;
  },
  Execute: function (command, flag) {
    WScript.Echo("    host Execute " + command + (flag === undefined ? "" : " " + flag));
    var batch = command.split("||");
    for (var i = 0; i < batch.length; i++) {
      var parts = batch[i].split(";");
      if (parts[0] == "SETVAR") variables[parts[1]] = parts[2];
    }
    // RideRunner hands commands to its extensions; "CE_Open" comes back to us.
    if (command == "CE_Open") show("ProcessCommand(\"CE_Open\")", ext.ProcessCommand(command, host));
    return "";
  },
  SkinName: function () {
    return "OurSkinName";
  }
};

ext = new ActiveXObject("ZelmKvel.RRExtension");
WScript.Echo("created ZelmKvel.RRExtension");

try {
  ext.Initialize("C:\\Zelm");
} catch (e) {
  WScript.Echo("Initialize before Init fails as it should: " + e.description + " (" + e.number + ")");
}

WScript.Echo("Init(host)");
ext.Init(host);
WScript.Echo("Initialize(\"C:\\\\Zelm\")");
ext.Initialize("C:\\Zelm");
WScript.Echo("OnLoadSkin(skin)");
ext.OnLoadSkin(host);

WScript.Echo("labels (no data server runs here, so values show \"-\"):");
var labels = ["ce_speed", "ce_speed_title", "ce_speed_unit", "ce_dinamic_label_name",
              "ce_dinamic_label", "ce_dinamic_label_1_name", "ce_maxspeed", "not_ours"];
for (var i = 0; i < labels.length; i++) show("ReturnLabel(\"" + labels[i] + "\")", ext.ReturnLabel(labels[i], ""));

WScript.Echo("commands:");
var commands = ["ce_next_dinamic_label", "ce_close", "Play"];
for (var i = 0; i < commands.length; i++) show("ProcessCommand(\"" + commands[i] + "\")", ext.ProcessCommand(commands[i], host));
show("ReturnLabel(\"ce_dinamic_label_name\")", ext.ReturnLabel("ce_dinamic_label_name", ""));

WScript.Echo("widgets:");
show("ReturnIndicatorEx(\"ce_speed\")", ext.ReturnIndicatorEx("ce_speed"));
show("ReturnSlider(\"ce_speed\")", ext.ReturnSlider("ce_speed"));
show("CommonListItemCount(skin)", ext.CommonListItemCount(host));
show("CommonListItem(skin, 0)", ext.CommonListItem(host, 0).replace("\n", "\\n"));
show("CommonListItem(skin, 1)", ext.CommonListItem(host, 1).replace("\n", "\\n"));
ext.OnUnloadSkin(host);
show("after OnUnloadSkin: CommonListItemCount(skin)", ext.CommonListItemCount(host));

ext = null;
WScript.Echo("main-job: done");
