@echo off
rem Runs every Windows test program in its folder, shows what each printed, GoogleTest's summary
rem included, and exits 0 only when every program passed.
rem
rem The tests write the running account's Path value (HKCU\Environment) and files under its
rem LOCALAPPDATA and TEMP folders, so they run only on a throwaway account: a VM, Windows Sandbox or
rem a CI runner. Usage: cmd /c run-tests.cmd --throwaway
setlocal
if not "%~1"=="--throwaway" (
  echo run-tests: nothing was run. The tests change this account's Path value and its files under
  echo LOCALAPPDATA: run them only on a throwaway account ^(a VM, Windows Sandbox or a CI runner^),
  echo and say that it is one: cmd /c run-tests.cmd --throwaway
  exit /b 2
)
cd /d "%~dp0"
set failed=
for %%p in (*_tests.exe) do call :run %%p
if defined failed (
  echo run-tests: FAILED:%failed%
  exit /b 1
)
echo run-tests: every test program passed
exit /b 0

rem A program passes only when GoogleTest's closing lines say that its tests ran and none failed:
rem one that ends early fails, even with exit code 0. Its output goes to a file, which outlives a
rem test that frees its console. No parentheses in what it sets: the block that prints it would end
rem there. No && or || after a program either: Wine's cmd.exe runs what follows && whatever the
rem program's exit code.
:run
set log=%TEMP%\palvex-%~n1.log
"%~1" >"%log%" 2>&1
set code=%errorlevel%
type "%log%"
find "[  PASSED  ]" "%log%" >nul
if errorlevel 1 set code=no summary
find "[  FAILED  ]" "%log%" >nul
if not errorlevel 1 set code=a failed test
if not "%code%"=="0" set failed=%failed% %~1 [%code%]
exit /b
