#pragma once
// `lumitool forge ...`: argc/argv start at the word "forge" (argv[0] is
// "forge", the options follow). Returns the process exit code.
int ForgeCommand(int argc, char** argv);
