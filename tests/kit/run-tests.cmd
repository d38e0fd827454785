@echo off
rem Runs every test program of this kit on this machine, one line each, then "N passed, N failed, N skipped".
rem Each program's GoogleTest report is left beside it as NAME.xml. The game's settings under
rem HKEY_CURRENT_USER\Software\ORIM are saved first and put back afterwards. Exits non-zero on any failure.
setlocal
cd /d "%~dp0"
"%~dp0kit-runner.exe" %*
set status=%errorlevel%
rem Started by a double-click, the window would close with the results: they wait for a key.
for %%a in (%cmdcmdline%) do if /i "%%~a"=="/c" pause
exit /b %status%
