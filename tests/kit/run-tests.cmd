@echo off
rem Runs every test program of this kit on this machine, one line each, then "N passed, N failed, N skipped".
rem Each program's GoogleTest report and output are left beside it as NAME.xml and NAME.txt. The game's settings
rem under HKEY_CURRENT_USER\Software\ORIM are saved first and put back afterwards. Exits non-zero on any failure.
setlocal
cd /d "%~dp0"
"%~dp0kit-runner.exe" %*
set status=%errorlevel%
rem Started by a double-click (cmd /c), the window would close with the results: they wait for a key. The command
rem line is compared after parsing, so quotes, brackets or ampersands in the folder's name cannot upset the check.
setlocal EnableDelayedExpansion
if /i not "!cmdcmdline:/c =!"=="!cmdcmdline!" pause
exit /b %status%
