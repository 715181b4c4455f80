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
    {1, 22},   {2, 2},    {3, 2},    {4, 24},   {5, 13},   {6, 9},    {7, 12},
    {8, 12},   {9, 12},   {10, 7},   {11, 8},   {12, 22},  {13, 22},  {15, 2},
    {16, 13},  {17, 18},  {18, 2},   {33, 13},  {53, 2},   {65, 13},  {67, 2},
    {80, 17},  {82, 13},  {83, 13},  {87, 22},  {89, 11},  {108, 13}, {109, 32},
    {112, 28}, {114, 9},  {128, 10}, {129, 10}, {130, 9},  {131, 22}, {132, 13},
    {145, 41}, {158, 13}, {161, 2},  {164, 11}, {167, 13}, {183, 17}, {206, 2},
    {215, 11},
};

/* Not enough quota (ERROR_NOT_ENOUGH_QUOTA), the mapped code above 255. */
static const DWORD quota_code = 1816;
/* Write-protect up to sharing-buffer-exceeded: all refusals of access. */
static const DWORD first_access_code = 19, last_access_code = 36;
/* The invalid-executable-image family. */
static const DWORD first_image_code = 188, last_image_code = 202;

void map_os_error(DWORD os_code)
{
    os_error_code = os_code;
    for (size_t i = 0; i < sizeof os_error_map / sizeof os_error_map[0]; i++) {
        if (os_error_map[i].os_code == os_code) {
            error_number = os_error_map[i].number;
            return;
        }
    }
    if (os_code == quota_code)
        error_number = NOT_ENOUGH_SPACE;
    else if (os_code >= first_access_code && os_code <= last_access_code)
        error_number = PERMISSION_DENIED;
    else if (os_code >= first_image_code && os_code <= last_image_code)
        error_number = EXEC_FORMAT_ERROR;
    else
        error_number = INVALID_ARGUMENT;
}
