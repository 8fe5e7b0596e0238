// Skin commands from JScript: a JScript object as RideRunner's API object, with a
// variable store that carries out our SETVAR/SAVETOSKIN batches and routes "CE_Open"
// back into the extension from inside Execute; a dynamic label stepped through the
// whole cycle; the common list for a JScript skin object. Prints
// "ZELMKVEL SKIN PASSED" when every check holds (cscript exits 0 on an uncaught error).
var failures = 0;
function check(what, ok) {
  if (!ok) {
    if (failures < 40) WScript.Echo("FAIL: " + what);
    failures++;
  }
}

// The order a slot steps in; the second code has CYRILLIC SMALL LETTER ER after "ce_".
var cycle = [
  "ce_avgfuelperhour", "ce_\u0440orse_power", "ce_fuelperdist", "ce_avgfuelperdist", "ce_distancewent",
  "ce_fuelconsumed", "ce_maxspeed", "ce_avgspeed", "ce_lostfuel", "ce_lostfuelpercents", "ce_lostdistance",
  "ce_lostdistancepercents", "ce_timewent", "ce_lostseconds", "ce_accelaration", "ce_speed", "ce_coolanttemp",
  "ce_voltage", "ce_o2b1s1", "ce_o2b1s2", "ce_ignitiontiming", "ce_injtime", "ce_maf", "ce_s_fuel_trim_b1",
  "ce_l_fuel_trim_b1", "ce_enginespeed", "ce_intaketemp", "ce_purg_vol_c_v", "ce_int_v_tim_b1",
  "ce_int_v_sol_b1", "ce_b_fuel_schdl", "ce_accel_sen_1", "ce_accel_sen_2", "ce_thrtl_sen_1",
  "ce_thrtl_sen_2", "ce_ac_press_sen", "ce_o2sen_htr_dty", "ce_corr_ign_timing", "ce_corr_idle_rpm",
  "ce_b_fuel_schdl_p12", "ce_mas_a_f_se_b1", "ce_fuel_inj_pls_b1", "ce_fuel_inj_pls_b2", "ce_fuel_temp",
  "ce_fuellevel", "ce_evap_sys_press", "ce_cal_ld_value", "ce_o2b2s1", "ce_o2b2s2", "ce_s_fuel_trim_b2",
  "ce_l_fuel_trim_b2", "ce_int_v_sol_b2", "ce_inj_pulse_b2", "ce_maf_gm_s", "ce_clsd_thl_pos",
  "ce_air_cond_sig", "ce_p_n_posi_sw", "ce_load_signal", "ce_ignition_sw", "ce_heater_fan_sw", "ce_brake_sw",
  "ce_air_cond_rly", "ce_thrtl_relay", "ce_cooling_fan", "ce_ho2s1_htr_b1", "ce_ho2s2_htr_b1",
  "ce_idle_a_v_learn", "ce_ho2s1_mntr_b1", "ce_ho2s2_mntr_b1", "ce_start_signal"
];
check("the cycle has 70 codes", cycle.length == 70);

var ext = new ActiveXObject("ZelmKvel.RRExtension");

// --- RideRunner's API object -------------------------------------------------------
var vars = {};
var saved = {};
var batches = [];
var refused = [];
var reads = 0;
var routed = [];
var executing = false;

var host = {
  GetInfo: function (query) {
    reads++;
    var match = /^=\$(.*)\$$/.exec(query);
    if (!match || vars[match[1]] === undefined) return "";
    return vars[match[1]];
  },
  Execute: function (batch, flag) {
    if (batch == "CE_Open") {
      // Every extension gets the host's commands, ours too, while our Execute waits.
      executing = true;
      routed.push(ext.ProcessCommand(batch, host));
      executing = false;
      return "";
    }
    batches.push(batch);
    var commands = batch.split("||");
    for (var i = 0; i < commands.length; i++) {
      var parts = commands[i].split(";");
      if (parts.length == 3 && parts[0] == "SETVAR") {
        vars[parts[1]] = parts[2];
      } else if (parts.length == 3 && parts[0] == "SAVETOSKIN") {
        var reference = /^\$(.*)\$$/.exec(parts[2]);
        saved[parts[1]] = reference ? vars[reference[1]] : parts[2];
      } else {
        refused.push(commands[i]);
      }
    }
    return "";
  }
};

// --- Start-up: "CE_Open" comes back through the host --------------------------------
vars["CheckEngineDinamicLabel"] = "CE_AvgFuelPerHour";
vars["CheckEngineDinamicLabel_6"] = "ce_voltage";
ext.Init(host);
ext.Initialize("C:\\Zelm");
check("Initialize read the 16 variables, not " + reads, reads == 16);
check("CE_Open was routed back once, not " + routed.length, routed.length == 1);
check("the routed CE_Open answered ecBreak, not " + routed[0], routed[0] == 2);
check("slot 0 holds the variable lowered", ext.ReturnLabel("ce_dinamic_label_name", "") == "ce_avgfuelperhour");
check("slot 6 read at start-up", ext.ReturnLabel("ce_dinamic_label_6_title", "") == "ce_voltage");
check("start-up sent no batch", batches.length == 0);

// --- Slot 0 through the whole cycle and back ---------------------------------------
var V = "CheckEngineDinamicLabel";
var seen = {};
for (var step = 1; step <= 70; step++) {
  var expected = cycle[step % 70];
  var before = batches.length;
  var exit = ext.ProcessCommand(step % 2 ? "ce_next_dinamic_label" : "CE_NEXT_DINAMIC_LABEL", host);
  check("step " + step + " answers ecBreak, not " + exit, exit == 2);
  check("step " + step + " sends one batch", batches.length == before + 1);
  var batch = batches[batches.length - 1];
  check("step " + step + " batch " + batch,
        batch == "SETVAR;" + V + ";" + expected + "||SAVETOSKIN;" + V + ";$" + V + "$");
  check("step " + step + " variable", vars[V] == expected);
  check("step " + step + " saved into the skin", saved[V] == expected);
  check("step " + step + " never the fuel pump relay", expected != "ce_fuel_pump_rly");
  // The slot's labels follow; with no data server the parameter is off: "-", the code
  // as its own title, "-".
  var value = ext.ReturnLabel("ce_dinamic_label", "");
  var title = ext.ReturnLabel("CE_DINAMIC_LABEL_TITLE", "");
  var unit = ext.ReturnLabel("ce_dinamic_label_unit", "");
  check("step " + step + " value label " + value, value == "-");
  check("step " + step + " title label " + title, title == expected);
  check("step " + step + " unit label " + unit, unit == "-");
  check("step " + step + " name label", ext.ReturnLabel("ce_dinamic_label_name", "") == expected);
  check("step " + step + " repeats " + expected, !seen[expected]);
  seen[expected] = true;
}
check("back at the start", vars[V] == "ce_avgfuelperhour");
check("the second code is Cyrillic", cycle[1].charCodeAt(3) == 0x440);
check("no batch was refused: " + refused.join(" | "), refused.length == 0);
check("the other slot is untouched", ext.ReturnLabel("ce_dinamic_label_6_title", "") == "ce_voltage");

// A code with a Latin p is no code of ours and stays; so does the fuel pump relay.
vars[V] = "ce_porse_power";
check("Latin p step", ext.ProcessCommand("ce_next_dinamic_label", host) == 2 && vars[V] == "ce_porse_power");
vars[V] = "CE_FUEL_PUMP_RLY";
check("relay step", ext.ProcessCommand("ce_next_dinamic_label", host) == 2 && vars[V] == "ce_fuel_pump_rly");

// Not ours: nothing is read or written.
var quiet = batches.length, quietReads = reads;
var misses = ["ce_", "ce_open ", "ce_next_dinamic_label_0", "ce_next_dinamic_label_16", "ce_next_dynamic_label", ""];
for (var m = 0; m < misses.length; m++)
  check("'" + misses[m] + "' is not ours", ext.ProcessCommand(misses[m], host) == 0);
check("near misses asked the host nothing", batches.length == quiet && reads == quietReads);
check("no CE_Open was routed since start-up", routed.length == 1 && !executing);

// --- The common list for a JScript skin object --------------------------------------
var skinCalls = 0;
var skin = {
  name: "OurSkinName",
  SkinName: function () {
    skinCalls++;
    return skin.name;
  }
};
var other = {
  SkinName: function () {
    check("the skin passed with a list call is not asked", false);
    return "OurSkinName";
  }
};
var first = "LSTc:\\1.txt\nItem 1", second = "LSTc:\\2.txt\nItem 2";
check("first item is 18 characters", first.length == 18);

check("no list before a skin is loaded", ext.CommonListItemCount(skin) == -1);
check("no item before a skin is loaded", ext.CommonListItem(skin, 0) == "");
check("no skin asked before it is loaded", skinCalls == 0);

ext.OnLoadSkin(skin);
var ours = ["OurSkinName", "OURSKINNAME", "ourskinname", "oURsKINnAME"];
for (var n = 0; n < ours.length; n++) {
  skin.name = ours[n];
  check(ours[n] + ": count", ext.CommonListItemCount(other) == 2);
  check(ours[n] + ": item 0", ext.CommonListItem(other, 0) == first);
  check(ours[n] + ": item 1", ext.CommonListItem(other, 1) == second);
  check(ours[n] + ": item 7", ext.CommonListItem(other, 7) == second);
  check(ours[n] + ": item -1", ext.CommonListItem(other, -1) == second);
}
check("the held skin was asked", skinCalls > 0);
var theirs = ["OurSkinName ", "Our Skin Name", "OurSkinNam\u0435", ""];
for (var t = 0; t < theirs.length; t++) {
  skin.name = theirs[t];
  check("'" + theirs[t] + "': count", ext.CommonListItemCount(other) == -1);
  check("'" + theirs[t] + "': item", ext.CommonListItem(other, 0) == "");
}
skin.name = "OurSkinName";
ext.OnUnloadSkin(other);  // whichever skin is named, the held one goes
var asked = skinCalls;
check("no list after unloading", ext.CommonListItemCount(skin) == -1);
check("no skin asked after unloading", skinCalls == asked);

if (failures == 0) {
  WScript.Echo("ZELMKVEL SKIN PASSED");
} else {
  WScript.Echo(failures + " checks failed");
}
