@echo off
rem Runs the Windows test programs of its folder, shows what each printed, GoogleTest's summary
rem included, and exits 0 only when every one of them ran, passed at least one test, and failed and
rem skipped none.
rem
rem The tests write the running account's Path value (HKCU\Environment), the Environment key's
rem permissions, and files under its LOCALAPPDATA and TEMP folders; they put the value and the
rem permissions back when they end, or on their next run after a kill. Still, run them only on a
rem throwaway account: a VM, Windows Sandbox or a CI runner. Usage: cmd /c run-tests.cmd --throwaway
setlocal
if not "%~1"=="--throwaway" (
  echo run-tests: nothing was run. The tests change this account's Path value and its files under
  echo LOCALAPPDATA: run them only on a throwaway account ^(a VM, Windows Sandbox or a CI runner^),
  echo and say that it is one: cmd /c run-tests.cmd --throwaway
  exit /b 2
)
rem Unlike cd, pushd also enters a network folder, such as a VM's shared folder, on a drive letter
rem of its own; cmd refuses such a folder as its current one.
pushd "%~dp0"
if errorlevel 1 goto :no_folder
rem Windows' own find, whatever PATH names first.
set find="%SystemRoot%\System32\find.exe"
set failed=
rem By name: a program that is missing, say quarantined by a virus scanner, fails the run.
for %%p in (e2e_tests.exe in_process_tests.exe) do call :run %%p
popd
if defined failed (
  echo run-tests: FAILED:%failed%
  exit /b 1
)
echo run-tests: every test program passed
exit /b 0

:no_folder
echo run-tests: FAILED: cannot enter the folder of run-tests.cmd, %~dp0
exit /b 1

rem A program passes only when GoogleTest's closing lines say that at least one of its tests passed
rem and none failed or was skipped: one that ends early fails, even with exit code 0. Its output
rem goes to a file, which outlives a test that frees its console. No parentheses in what it sets:
rem the block that prints it would end there. No && or || after a program either: Wine's cmd.exe
rem runs what follows && whatever the program's exit code.
:run
if exist "%~1" goto :present
set failed=%failed% %~1 [missing]
exit /b
:present
set log=%TEMP%\palvex-%~n1.log
"%~1" >"%log%" 2>&1
set code=%errorlevel%
type "%log%"
%find% "[  PASSED  ]" "%log%" >nul
if errorlevel 1 set code=no summary
%find% "[  PASSED  ] 0 tests." "%log%" >nul
if not errorlevel 1 set code=no test passed
%find% "[  FAILED  ]" "%log%" >nul
if not errorlevel 1 set code=a failed test
%find% "[  SKIPPED ]" "%log%" >nul
if not errorlevel 1 set code=a skipped test
if not "%code%"=="0" set failed=%failed% %~1 [%code%]
exit /b
