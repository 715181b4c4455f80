/*
 * OS error codes to error numbers: the pairs first, then the one code above
 * 255, then two ranges that cover whole families of platform codes, then
 * "Invalid argument".
 */
#include "runtime/error_number.h"

/* Every code of the pairs is below 256: a pair takes two bytes. */
struct os_error_pair {
    unsigned char os_code;
    unsigned char number;
};

static const os_error_pair os_error_map[] = {
    {ERROR_INVALID_FUNCTION, INVALID_ARGUMENT},
    {ERROR_FILE_NOT_FOUND, NO_SUCH_FILE},
    {ERROR_PATH_NOT_FOUND, NO_SUCH_FILE},
    {ERROR_TOO_MANY_OPEN_FILES, TOO_MANY_OPEN_FILES},
    {ERROR_ACCESS_DENIED, PERMISSION_DENIED},
    {ERROR_INVALID_HANDLE, BAD_FILE_DESCRIPTOR},
    {ERROR_ARENA_TRASHED, NOT_ENOUGH_SPACE},
    {ERROR_NOT_ENOUGH_MEMORY, NOT_ENOUGH_SPACE},
    {ERROR_INVALID_BLOCK, NOT_ENOUGH_SPACE},
    {ERROR_BAD_ENVIRONMENT, ARG_LIST_TOO_LONG},
    {ERROR_BAD_FORMAT, EXEC_FORMAT_ERROR},
    {ERROR_INVALID_ACCESS, INVALID_ARGUMENT},
    {ERROR_INVALID_DATA, INVALID_ARGUMENT},
    {ERROR_INVALID_DRIVE, NO_SUCH_FILE},
    {ERROR_CURRENT_DIRECTORY, PERMISSION_DENIED},
    {ERROR_NOT_SAME_DEVICE, IMPROPER_LINK},
    {ERROR_NO_MORE_FILES, NO_SUCH_FILE},
    {ERROR_LOCK_VIOLATION, PERMISSION_DENIED},
    {ERROR_BAD_NETPATH, NO_SUCH_FILE},
    {ERROR_NETWORK_ACCESS_DENIED, PERMISSION_DENIED},
    {ERROR_BAD_NET_NAME, NO_SUCH_FILE},
    {ERROR_FILE_EXISTS, FILE_ALREADY_EXISTS},
    {ERROR_CANNOT_MAKE, PERMISSION_DENIED},
    {ERROR_FAIL_I24, PERMISSION_DENIED},
    {ERROR_INVALID_PARAMETER, INVALID_ARGUMENT},
    {ERROR_NO_PROC_SLOTS, RESOURCE_UNAVAILABLE},
    {ERROR_DRIVE_LOCKED, PERMISSION_DENIED},
    {ERROR_BROKEN_PIPE, BROKEN_PIPE},
    {ERROR_DISK_FULL, NO_SPACE_ON_DEVICE},
    {ERROR_INVALID_TARGET_HANDLE, BAD_FILE_DESCRIPTOR},
    {ERROR_WAIT_NO_CHILDREN, NO_CHILD_PROCESSES},
    {ERROR_CHILD_NOT_COMPLETE, NO_CHILD_PROCESSES},
    {ERROR_DIRECT_ACCESS_HANDLE, BAD_FILE_DESCRIPTOR},
    {ERROR_NEGATIVE_SEEK, INVALID_ARGUMENT},
    {ERROR_SEEK_ON_DEVICE, PERMISSION_DENIED},
    {ERROR_DIR_NOT_EMPTY, DIRECTORY_NOT_EMPTY},
    {ERROR_NOT_LOCKED, PERMISSION_DENIED},
    {ERROR_BAD_PATHNAME, NO_SUCH_FILE},
    {ERROR_MAX_THRDS_REACHED, RESOURCE_UNAVAILABLE},
    {ERROR_LOCK_FAILED, PERMISSION_DENIED},
    {ERROR_ALREADY_EXISTS, FILE_ALREADY_EXISTS},
    {ERROR_FILENAME_EXCED_RANGE, NO_SUCH_FILE},
    {ERROR_NESTING_NOT_ALLOWED, RESOURCE_UNAVAILABLE},
};

void map_os_error(DWORD os_code)
{
    os_error_code = os_code;
    for (size_t i = 0; i < sizeof os_error_map / sizeof os_error_map[0]; i++) {
        if (os_error_map[i].os_code == os_code) {
            error_number = os_error_map[i].number;
            return;
        }
    }
    if (os_code == ERROR_NOT_ENOUGH_QUOTA)
        error_number = NOT_ENOUGH_SPACE;
    /* Write-protect up to sharing-buffer-exceeded: all refusals of access. */
    else if (os_code >= ERROR_WRITE_PROTECT && os_code <= ERROR_SHARING_BUFFER_EXCEEDED)
        error_number = PERMISSION_DENIED;
    /* The invalid-executable-image family. */
    else if (os_code >= ERROR_INVALID_STARTING_CODESEG && os_code <= ERROR_INFLOOP_IN_RELOC_CHAIN)
        error_number = EXEC_FORMAT_ERROR;
    else
        error_number = INVALID_ARGUMENT;
}
