/*
 * The native builds (x64, ARM64) see System32 as it is: no WoW64 stands
 * between them and it.  Chosen for them by cmake/architecture.cmake; its
 * content comes with the change that turns the 32-bit builds' redirection
 * off.
 */
