@echo off
rem Runs every test program of the Vossimere test kit and ends with one line
rem "N passed, N failed, N skipped" that counts test cases; the exit code is non-zero when one
rem failed. It can be started from any folder: the runner finds the kit beside this file.
rem Run it from an elevated prompt where the elevated cases should run (tests\README.md).
"%~dp0bin\run-tests.exe" %*
exit /b %ERRORLEVEL%
