' Skin commands from VBScript: VBScript class objects as RideRunner's API object, with
' a variable store that carries out our SETVAR/SAVETOSKIN batches and routes "CE_Open"
' back into the extension from inside Execute; a dynamic label stepped through the
' whole cycle; the common list for a VBScript skin object. Prints
' "ZELMKVEL SKIN PASSED" when every check holds.
'
' A VBScript method takes exactly the arguments it declares, and we call Execute with
' two at start-up ("CE_Open", False) but with one for a step's batch. So one class serves
' the start-up and another the steps; Init hands the second over.
Option Explicit

Dim failures: failures = 0
Sub Check(what, ok)
  If Not ok Then
    If failures < 40 Then WScript.Echo "FAIL: " & what
    failures = failures + 1
  End If
End Sub

' The order a slot steps in. The second code has CYRILLIC SMALL LETTER ER after "ce_",
' which Wine's VBScript can neither write (no ChrW, no UTF-16 script files) nor read
' back (no AscW): it stands here as "?" and is checked by its shape, by the Latin
' spelling being a different text, and by the next step knowing it as our entry. The
' JScript and C++ tests check the letter itself.
Dim codes
codes = "ce_avgfuelperhour ce_?orse_power ce_fuelperdist ce_avgfuelperdist ce_distancewent ce_fuelconsumed"
codes = codes & " ce_maxspeed ce_avgspeed ce_lostfuel ce_lostfuelpercents ce_lostdistance"
codes = codes & " ce_lostdistancepercents ce_timewent ce_lostseconds ce_accelaration ce_speed ce_coolanttemp"
codes = codes & " ce_voltage ce_o2b1s1 ce_o2b1s2 ce_ignitiontiming ce_injtime ce_maf ce_s_fuel_trim_b1"
codes = codes & " ce_l_fuel_trim_b1 ce_enginespeed ce_intaketemp ce_purg_vol_c_v ce_int_v_tim_b1"
codes = codes & " ce_int_v_sol_b1 ce_b_fuel_schdl ce_accel_sen_1 ce_accel_sen_2 ce_thrtl_sen_1"
codes = codes & " ce_thrtl_sen_2 ce_ac_press_sen ce_o2sen_htr_dty ce_corr_ign_timing ce_corr_idle_rpm"
codes = codes & " ce_b_fuel_schdl_p12 ce_mas_a_f_se_b1 ce_fuel_inj_pls_b1 ce_fuel_inj_pls_b2 ce_fuel_temp"
codes = codes & " ce_fuellevel ce_evap_sys_press ce_cal_ld_value ce_o2b2s1 ce_o2b2s2 ce_s_fuel_trim_b2"
codes = codes & " ce_l_fuel_trim_b2 ce_int_v_sol_b2 ce_inj_pulse_b2 ce_maf_gm_s ce_clsd_thl_pos"
codes = codes & " ce_air_cond_sig ce_p_n_posi_sw ce_load_signal ce_ignition_sw ce_heater_fan_sw ce_brake_sw"
codes = codes & " ce_air_cond_rly ce_thrtl_relay ce_cooling_fan ce_ho2s1_htr_b1 ce_ho2s2_htr_b1"
codes = codes & " ce_idle_a_v_learn ce_ho2s1_mntr_b1 ce_ho2s2_mntr_b1 ce_start_signal"
Dim cycle: cycle = Split(codes, " ")

Function LooksLikeHorsePower(code)
  LooksLikeHorsePower = Len(code) = 14 And Left(code, 3) = "ce_" And Mid(code, 5) = "orse_power" And _
                        LCase(Mid(code, 4, 1)) <> "p" And Mid(code, 4, 1) <> "?"
End Function
Check "the cycle has 70 codes", UBound(cycle) = 69

Dim ext: Set ext = CreateObject("ZelmKvel.RRExtension")

' --- RideRunner's variable store ------------------------------------------------------
Dim varNames(63), varValues(63), varCount: varCount = 0
Dim savedNames(63), savedValues(63), savedCount: savedCount = 0
Dim batches(200), batchCount: batchCount = 0
Dim refused: refused = ""
Dim reads: reads = 0

Function Find(names, count, name)
  Dim i
  Find = -1
  For i = 0 To count - 1
    If names(i) = name Then Find = i
  Next
End Function

Function GetVar(name)
  Dim i: i = Find(varNames, varCount, name)
  If i < 0 Then GetVar = "" Else GetVar = varValues(i)
End Function

Sub SetVar(name, value)
  Dim i: i = Find(varNames, varCount, name)
  If i < 0 Then
    i = varCount: varCount = varCount + 1: varNames(i) = name
  End If
  varValues(i) = value
End Sub

Function Saved(name)
  Dim i: i = Find(savedNames, savedCount, name)
  If i < 0 Then Saved = "" Else Saved = savedValues(i)
End Function

Function ReadQuery(query)
  reads = reads + 1
  If Left(query, 2) = "=$" And Right(query, 1) = "$" And Len(query) > 3 Then
    ReadQuery = GetVar(Mid(query, 3, Len(query) - 3))
  Else
    ReadQuery = ""
  End If
End Function

Sub RunBatch(batch)
  Dim commands, parts, i, value, j
  If batchCount <= UBound(batches) Then batches(batchCount) = batch
  batchCount = batchCount + 1
  commands = Split(batch, "||")
  For i = 0 To UBound(commands)
    parts = Split(commands(i), ";")
    If UBound(parts) = 2 And parts(0) = "SETVAR" Then
      SetVar parts(1), parts(2)
    ElseIf UBound(parts) = 2 And parts(0) = "SAVETOSKIN" Then
      value = parts(2)
      If Len(value) > 2 And Left(value, 1) = "$" And Right(value, 1) = "$" Then
        value = GetVar(Mid(value, 2, Len(value) - 2))
      End If
      j = Find(savedNames, savedCount, parts(1))
      If j < 0 Then
        j = savedCount: savedCount = savedCount + 1: savedNames(j) = parts(1)
      End If
      savedValues(j) = value
    Else
      refused = refused & commands(i) & " | "
    End If
  Next
End Sub

Dim routedCount: routedCount = 0
Dim routedResult: routedResult = -1

' RideRunner at start-up: hands its own command to every extension, ours included,
' while our Execute call waits.
Class TStartHost
  Public Function GetInfo(query)
    GetInfo = ReadQuery(query)
  End Function
  Public Function Execute(command, flag)
    If command = "CE_Open" And flag = False Then
      routedCount = routedCount + 1
      routedResult = ext.ProcessCommand(command, Me)
      Check "the routed command is unchanged", command = "CE_Open"
    Else
      RunBatch command
    End If
    Execute = ""
  End Function
End Class

' RideRunner while the skin is shown: runs our batches.
Class TStepHost
  Public Function GetInfo(query)
    GetInfo = ReadQuery(query)
  End Function
  Public Function Execute(batch)
    RunBatch batch
    Execute = ""
  End Function
End Class

' --- Start-up: "CE_Open" comes back through the host ---------------------------------
SetVar "CheckEngineDinamicLabel_15", "CE_AVGFUELPERHOUR"
SetVar "CheckEngineDinamicLabel_4", "ce_speed"
Dim startHost: Set startHost = New TStartHost
ext.Init startHost
ext.Initialize "C:\Zelm"
Check "Initialize read the 16 variables, not " & reads, reads = 16
Check "CE_Open was routed back once, not " & routedCount, routedCount = 1
Check "the routed CE_Open answered ecBreak, not " & routedResult, routedResult = 2
Check "start-up sent no batch", batchCount = 0
Check "slot 15 read at start-up, lowered", ext.ReturnLabel("ce_dinamic_label_15_title", "") = "ce_avgfuelperhour"

Dim host: Set host = New TStepHost
ext.Init host

' --- Slot 15 through the whole cycle and back -----------------------------------------
Const V = "CheckEngineDinamicLabel_15"
Dim stepNo, expected, before, sent, cmd, exitCode, label, seen, value, title, unit
seen = "|"
For stepNo = 1 To 70
  expected = cycle(stepNo Mod 70)
  before = batchCount
  If stepNo = 1 Then
    ' Our SETVAR stored it; its shape and the step after it are what we can check.
    expected = "unknown"
  End If
  If stepNo Mod 2 = 0 Then sent = "ce_next_dinamic_label_15" Else sent = "CE_Next_Dinamic_Label_15"
  cmd = sent
  exitCode = ext.ProcessCommand(cmd, host)  ' the command goes by reference
  If stepNo = 1 Then
    expected = GetVar(V)
    Check "step 1 reaches the horse power entry, not " & expected, LooksLikeHorsePower(expected)
    Check "step 1 is not the Latin spelling", expected <> "ce_porse_power"
  End If
  Check "step " & stepNo & " answers ecBreak, not " & exitCode, exitCode = 2
  Check "step " & stepNo & " leaves the command alone", cmd = sent
  Check "step " & stepNo & " sends one batch", batchCount = before + 1
  Check "step " & stepNo & " batch " & batches(batchCount - 1), _
        batches(batchCount - 1) = "SETVAR;" & V & ";" & expected & "||SAVETOSKIN;" & V & ";$" & V & "$"
  Check "step " & stepNo & " variable", GetVar(V) = expected
  Check "step " & stepNo & " saved into the skin", Saved(V) = expected
  Check "step " & stepNo & " never the fuel pump relay", expected <> "ce_fuel_pump_rly"
  ' The slot's labels follow; with no data server the parameter is off: "-", the code
  ' as its own title, "-".
  label = "ce_dinamic_label_15"
  value = ext.ReturnLabel(label, "")
  title = ext.ReturnLabel("CE_DINAMIC_LABEL_15_TITLE", "")
  unit = ext.ReturnLabel("ce_dinamic_label_15_unit", "")
  Check "step " & stepNo & " value label " & value, value = "-"
  Check "step " & stepNo & " title label " & title, title = expected
  Check "step " & stepNo & " unit label " & unit, unit = "-"
  Check "step " & stepNo & " name label", ext.ReturnLabel("ce_dinamic_label_15_name", "") = expected
  Check "step " & stepNo & " the label code variable is untouched", label = "ce_dinamic_label_15"
  Check "step " & stepNo & " repeats " & expected, InStr(seen, "|" & expected & "|") = 0
  seen = seen & expected & "|"
Next
Check "back at the start", GetVar(V) = "ce_avgfuelperhour"
Check "no batch was refused: " & refused, refused = ""
Check "the other slot is untouched", ext.ReturnLabel("ce_dinamic_label_4_title", "") = "ce_speed"

' A code with a Latin p is no code of ours and stays; so does the fuel pump relay.
SetVar V, "ce_porse_power"
Check "Latin p step", ext.ProcessCommand("ce_next_dinamic_label_15", host) = 2 And GetVar(V) = "ce_porse_power"
SetVar V, "CE_FUEL_PUMP_RLY"
Check "relay step", ext.ProcessCommand("ce_next_dinamic_label_15", host) = 2 And GetVar(V) = "ce_fuel_pump_rly"

' Not ours: nothing is read or written.
Dim quiet, quietReads, misses, m
quiet = batchCount: quietReads = reads
misses = Array("ce_", "ce_open ", "ce_next_dinamic_label_0", "ce_next_dinamic_label_16", "ce_next_dynamic_label", "")
For m = 0 To UBound(misses)
  Check "'" & misses(m) & "' is not ours", ext.ProcessCommand(misses(m), host) = 0
Next
Check "near misses asked the host nothing", batchCount = quiet And reads = quietReads
Check "no CE_Open was routed since start-up", routedCount = 1

' --- The common list for a VBScript skin object -----------------------------------------
Class TSkin
  Public Name
  Public Calls
  Private Sub Class_Initialize()
    Name = "OurSkinName": Calls = 0
  End Sub
  Public Function SkinName()
    Calls = Calls + 1
    SkinName = Name
  End Function
End Class

Dim skin: Set skin = New TSkin
Dim other: Set other = New TSkin  ' passed with the list calls; never to be asked
Dim first, second, index
first = "LSTc:\1.txt" & vbLf & "Item 1"
second = "LSTc:\2.txt" & vbLf & "Item 2"
Check "the first item is 18 characters", Len(first) = 18

Check "no list before a skin is loaded", ext.CommonListItemCount(skin) = -1
Check "no item before a skin is loaded", ext.CommonListItem(skin, 0) = ""
Check "no skin asked before it is loaded", skin.Calls = 0

ext.OnLoadSkin skin
Dim ours, n
ours = Array("OurSkinName", "OURSKINNAME", "ourskinname", "oURsKINnAME")
For n = 0 To UBound(ours)
  skin.Name = ours(n)
  Check ours(n) & ": count", ext.CommonListItemCount(other) = 2
  index = 0
  Check ours(n) & ": item 0", ext.CommonListItem(other, index) = first
  index = 1
  Check ours(n) & ": item 1", ext.CommonListItem(other, index) = second
  Check ours(n) & ": item 7", ext.CommonListItem(other, 7) = second
  Check ours(n) & ": item -1", ext.CommonListItem(other, -1) = second
  Check ours(n) & ": the index is untouched", index = 1
Next
Check "the held skin was asked", skin.Calls > 0
Dim theirs, t
theirs = Array("OurSkinName ", "Our Skin Name", "0urSkinName", "OurSkinNam", "")
For t = 0 To UBound(theirs)
  skin.Name = theirs(t)
  Check "'" & theirs(t) & "': count", ext.CommonListItemCount(other) = -1
  Check "'" & theirs(t) & "': item", ext.CommonListItem(other, 0) = ""
Next
Check "the skin passed with the list calls was not asked", other.Calls = 0
skin.Name = "OurSkinName"
ext.OnUnloadSkin other  ' whichever skin is named, the held one goes
Dim asked: asked = skin.Calls
Check "no list after unloading", ext.CommonListItemCount(skin) = -1
Check "no skin asked after unloading", skin.Calls = asked

If failures = 0 Then
  WScript.Echo "ZELMKVEL SKIN PASSED"
Else
  WScript.Echo failures & " checks failed"
End If
