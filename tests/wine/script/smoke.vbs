' Late-bound smoke test from VBScript: variables go to the extension by reference, and
' a VBScript class object serves as RideRunner's API object. Prints
' "ZELMKVEL SMOKE PASSED" when every check holds.
Option Explicit

Dim failures: failures = 0
Sub Check(what, ok)
  If Not ok Then
    WScript.Echo "FAIL: " & what
    failures = failures + 1
  End If
End Sub

Class THost
  Public Calls
  Private Sub Class_Initialize()
    Calls = 0
  End Sub
  Public Function GetInfo(query)
    Calls = Calls + 1
    If query = "=$CheckEngineDinamicLabel$" Then GetInfo = "CE_Voltage" Else GetInfo = ""
  End Function
  Public Function Execute(command, flag)
    Calls = Calls + 1
    Execute = ""
  End Function
End Class

Dim host: Set host = New THost
Dim ext: Set ext = CreateObject("ZelmKvel.RRExtension")

On Error Resume Next
ext.Initialize "C:\Zelm"
Check "error number " & Err.Number, Err.Number = &H8000FFFF
Check "error description " & Err.Description, Err.Description = "Invalid variant operation"
Check "error source " & Err.Source, Err.Source = "ZelmKvel.RRExtension"
Err.Clear
On Error GoTo 0

ext.Init host
ext.Initialize "C:\Zelm"
Check "host calls " & host.Calls, host.Calls = 17

Dim code, tip, cmd
code = "ce_dinamic_label_name": tip = "": cmd = "CE_OPEN"
Check "label through variables", ext.ReturnLabel(code, tip) = "ce_voltage"
Check "the variable is untouched", code = "ce_dinamic_label_name"
Check "command through a variable", ext.ProcessCommand(cmd, host) = 2
Check "indicator through a variable", ext.ReturnIndicatorEx(code) = "False"

If failures = 0 Then
  WScript.Echo "ZELMKVEL SMOKE PASSED"
Else
  WScript.Echo failures & " checks failed"
End If
