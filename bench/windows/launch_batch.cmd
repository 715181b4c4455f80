@echo off
rem The launcher's job done by the command interpreter, to compare with:
rem append the lib directory beside the start directory to PATH, change
rem into DIRECTORY, start COMMAND without waiting and end.
rem Usage: launch_batch.cmd DIRECTORY COMMAND
set PATH=%PATH%;%CD%\..\lib
cd /d %1
start /b %2
