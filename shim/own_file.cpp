/*
 * A named launcher never starts its own file: a copy in a folder of copies
 * on PATH looks for the real program of its name further on.  A file is
 * the same file whatever it is called (a short name, another case, a
 * link), so it is known by its volume and index, not by its path.
 *
 * A candidate is identified through the handle that reads its header
 * (exec/handle_width.cpp), never opened a second time.  The own file is
 * opened only when its identity is needed: a candidate of its size (a file
 * of another size is another file), a candidate the chain names, or a
 * command that is a named launcher, which learns who started it
 * (chain.cpp).  The command, which is seldom any of these, costs no third
 * open on an ordinary start.
 */
#include "shim/shim.h"
#include "runtime/bytes.h"
#include "runtime/limits.h"

/* The exe's path, in the buffer every reader of it shares. */
static const WCHAR *own_path;
static WIN32_FILE_ATTRIBUTE_DATA own_attributes;
static BOOL own_size_known;
static file_identity own;
/* 0: not asked yet; 1: known; -1: could not be known. */
static int own_state;

int identify_opened_file(HANDLE file, file_identity *identity)
{
    BY_HANDLE_FILE_INFORMATION information;
    if (file == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(file, &information))
        return 0;
    identity->volume = information.dwVolumeSerialNumber;
    identity->index_high = information.nFileIndexHigh;
    identity->index_low = information.nFileIndexLow;
    identity->size_high = information.nFileSizeHigh;
    identity->size_low = information.nFileSizeLow;
    return 1;
}

int is_same_file(const file_identity *a, const file_identity *b)
{
    return a->volume == b->volume && a->index_high == b->index_high &&
           a->index_low == b->index_low;
}

void remember_own_file(const WCHAR *path)
{
    own_path = path;
    own_size_known = GetFileAttributesExW(own_path, GetFileExInfoStandard, &own_attributes);
    own_state = 0;
}

/* Opened once, and only when asked. */
static int learn_own_identity(void)
{
    if (own_state == 0) {
        HANDLE file = CreateFileW(own_path, FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0,
                                  OPEN_EXISTING, 0, 0);
        own_state = identify_opened_file(file, &own) ? 1 : -1;
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
    }
    return own_state == 1;
}

/* An own file that could not be identified matches nothing: the chain
   limit still ends a loop. */
int is_own_file(const file_identity *candidate)
{
    if (own_size_known && (candidate->size_high != own_attributes.nFileSizeHigh ||
                           candidate->size_low != own_attributes.nFileSizeLow))
        return 0;
    return learn_own_identity() && is_same_file(candidate, &own);
}

int find_own_identity(file_identity *identity)
{
    if (!learn_own_identity())
        return 0;
    *identity = own;
    return 1;
}
