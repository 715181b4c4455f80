/*
 * The 32-bit builds' view of System32 on 64-bit Windows, where WoW64
 * redirects it.  Chosen for x86 by cmake/architecture.cmake; its content
 * comes with the change that turns the redirection off.
 */
