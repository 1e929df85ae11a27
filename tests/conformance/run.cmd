@echo off
rem Runs the conformance suite of Mordelt.exe and setup.exe on this machine, for every
rem architecture of the bundle that the machine runs (x64\ and x86\ beside this file).
rem
rem   run.cmd      from an elevated prompt (as administrator); take a snapshot first
rem
rem Writes results\<arch>.xml (JUnit XML) and results\<arch>.log (what conformance.exe printed).
rem An architecture that this machine does not run is skipped, with the reason, and counts as
rem one skipped test; a conformance.exe that ends without its summary counts as one failed test.
rem Afterwards it puts back what the suite may leave behind: its registry key, the test packages,
rem the manual's example keys (unless the machine had them before), and a system program that a
rem stand-in replaced.
rem
rem The last line is "N passed, M failed, K skipped". Exit status: 0 when nothing failed and at
rem least one architecture ran; 1 otherwise; 2 when not elevated.
setlocal EnableExtensions EnableDelayedExpansion

rem A 32-bit prompt on 64-bit Windows sees the 32-bit registry view and system folder: start
rem again at a 64-bit one.
if defined PROCESSOR_ARCHITEW6432 if exist "%SystemRoot%\Sysnative\cmd.exe" (
  "%SystemRoot%\Sysnative\cmd.exe" /d /c ""%~f0""
  exit /b !errorlevel!
)

set "bundle=%~dp0"
set "results=%bundle%results"
rem The system's own programs, never one of the same name in the current folder.
set "reg=%SystemRoot%\System32\reg.exe"
set "msiexec=%SystemRoot%\System32\msiexec.exe"

rem Elevated: the suite writes HKEY_LOCAL_MACHINE\Software\MordeltConformance, which only an
rem elevated administrator may (reg.exe is never virtualized).
"%reg%" add "HKLM\Software\MordeltConformance" /v run.cmd /d elevated /f >nul 2>&1
if errorlevel 1 (
  echo run.cmd: not elevated: run it from a prompt started with "Run as administrator"; the suite
  echo writes HKEY_LOCAL_MACHINE, installs and removes a package and rescans devices.
  exit /b 2
)
"%reg%" delete "HKLM\Software\MordeltConformance" /f >nul 2>&1

rem The manual's examples use these keys; the machine's own are never deleted. (0: reg.exe found
rem the key.)
"%reg%" query "HKLM\SOFTWARE\Example" >nul 2>&1
set "example_before=!errorlevel!"
"%reg%" query "HKLM\SOFTWARE\Example Tools" >nul 2>&1
set "example_tools_before=!errorlevel!"

rem Only the files that this script writes are replaced; anything else in results\ stays.
if not exist "%results%" mkdir "%results%"
for %%f in (x64.xml x64.log x86.xml x86.log) do if exist "%results%\%%f" del /f /q "%results%\%%f"
set /a passed=0, failed=0, skipped=0, ran=0
call :architecture x64
call :architecture x86
if !ran! equ 0 echo run.cmd: no architecture ran on this machine
echo !passed! passed, !failed! failed, !skipped! skipped
if !failed! gtr 0 exit /b 1
if !ran! equ 0 exit /b 1
exit /b 0

rem ---------------------------------------------------------------------------------------
rem :architecture ARCH   runs ARCH\conformance.exe, or skips ARCH where this machine runs none
rem of its programs, and adds to the counts.
:architecture
set "arch=%~1"
set "programs=%bundle%%arch%"
set "log=%results%\%arch%.log"
set "xml=%results%\%arch%.xml"
rem A program that does nothing but end with 0 tells whether this machine runs the architecture
rem at all; past that, a conformance.exe that dies is a failure, never a skip.
"%programs%\return_zero.exe" >nul 2>&1
set "probe=!errorlevel!"
if not "!probe!"=="0" (
  rem Once more: a start that fails only once is no answer.
  "%programs%\return_zero.exe" >nul 2>&1
  set "probe=!errorlevel!"
)
if not "!probe!"=="0" (
  set "reason=this machine (%PROCESSOR_ARCHITECTURE%) does not run %arch% programs: return_zero.exe, which only ends with 0, ended with !probe!"
  echo %arch%: skipped: !reason!
  echo %arch%: skipped: !reason!> "%log%"
  call :junit_one "%arch%" skipped "!reason!"
  set /a skipped+=1
  exit /b 0
)
set /a ran+=1
echo %arch%: running %arch%\conformance.exe; its output goes to results\%arch%.log
"%programs%\conformance.exe" --junit "%xml%" > "%log%" 2>&1
set "code=!errorlevel!"
set "p="
set "f="
set "s="
for /f "usebackq tokens=1-7" %%a in ("%log%") do (
  if "%%a"=="conformance:" if "%%c"=="passed," (
    set "p=%%b"
    set "f=%%d"
    set "s=%%f"
  )
)
if "!p!"=="" (
  set "reason=conformance.exe ended with !code! before its summary; see results\%arch%.log"
  echo %arch%: failed: !reason!
  call :junit_one "%arch%" failure "!reason!"
  set /a failed+=1
) else if not exist "%xml%" (
  echo %arch%: failed: conformance.exe wrote no results\%arch%.xml
  call :junit_one "%arch%" failure "conformance.exe wrote no JUnit file"
  set /a failed+=1
) else (
  echo %arch%: !p! passed, !f! failed, !s! skipped
  set /a passed+=p, failed+=f, skipped+=s
  if "!f!"=="0" if not "!code!"=="0" (
    echo %arch%: failed: conformance.exe ended with !code!
    set /a failed+=1
  )
)
call :restore
exit /b 0

rem :junit_one ARCH skipped^|failure REASON   writes ARCH's JUnit file with one test case.
:junit_one
set "junit=%results%\%~1.xml"
set "message=%~3"
set /a skips=0, failures=0
if "%~2"=="skipped" (set /a skips=1) else (set /a failures=1)
echo ^<?xml version="1.0" encoding="UTF-8"?^>> "!junit!"
echo ^<testsuites^>>> "!junit!"
echo   ^<testsuite name="conformance.%~1" tests="1" failures="!failures!" errors="0" skipped="!skips!"^>>> "!junit!"
echo     ^<testcase classname="conformance.%~1" name="%~1"^>>> "!junit!"
echo       ^<%~2 message="!message!"/^>>> "!junit!"
echo     ^</testcase^>>> "!junit!"
echo   ^</testsuite^>>> "!junit!"
echo ^</testsuites^>>> "!junit!"
exit /b 0

rem :restore   puts back what a run of the suite may leave behind, and says what it found.
:restore
for %%v in (64 32) do (
  call :remove_key "HKLM\Software\MordeltConformance" %%v
  if not "!example_before!"=="0" call :remove_key "HKLM\SOFTWARE\Example" %%v
  if not "!example_tools_before!"=="0" call :remove_key "HKLM\SOFTWARE\Example Tools" %%v
  rem The packages: conformance-product.msi and conformance-client.msi.
  call :remove_package {5D2F1A60-7C1E-4B7A-9E2B-3A4C5D6E7F80} %%v
  call :remove_package {7A31C0D4-2E5B-4F6A-8B9C-1D2E3F405161} %%v
)
rem A system program that a stand-in replaced: the original was kept beside it.
for %%d in ("%SystemRoot%\System32" "%SystemRoot%\SysWOW64") do (
  call :put_back "%%~d\reg.exe"
  call :put_back "%%~d\msiexec.exe"
)
exit /b 0

rem :remove_key KEY VIEW   removes KEY of the 64-bit or 32-bit registry view, where it exists.
:remove_key
"%reg%" query "%~1" /reg:%~2 >nul 2>&1
if errorlevel 1 exit /b 0
echo %arch%: restored: removed %~1 (%~2-bit view)
"%reg%" delete "%~1" /f /reg:%~2 >nul 2>&1
exit /b 0

rem :remove_package CODE VIEW   removes the product CODE where that view lists it as installed.
:remove_package
"%reg%" query "HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\%~1" /reg:%~2 >nul 2>&1
if errorlevel 1 exit /b 0
echo %arch%: restored: removed the test package %~1
start "" /wait "%msiexec%" /x %~1 /quiet
exit /b 0

rem :put_back PROGRAM   puts PROGRAM.conformance-saved back in place of a stand-in.
:put_back
if not exist "%~1.conformance-saved" exit /b 0
echo %arch%: restored: %~1
move /y "%~1.conformance-saved" "%~1" >nul
exit /b 0
