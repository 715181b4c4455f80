/*
 * Host declarations of the KERNEL32 services the launcher uses, with the
 * types, fields and constants of the Windows headers.  Only what the launcher
 * and its tests need is here; the simulated KERNEL32 (platform/sim) defines
 * every function.  Handles are pointer-sized as on Windows, but the values
 * the simulation hands out fit in 32 bits, as the handle inheritance block
 * requires.
 */
#ifndef PLATFORM_HOST_KERNEL32_H
#define PLATFORM_HOST_KERNEL32_H

#include <stddef.h>
#include <stdint.h>

#define WINAPI
#define TRUE 1
#define FALSE 0

typedef int BOOL;
typedef unsigned char BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t UINT;
typedef DWORD LCID;
typedef char CHAR;
typedef char16_t WCHAR;
typedef size_t SIZE_T;
typedef intptr_t INT_PTR;
typedef uintptr_t UINT_PTR;
typedef void *HANDLE;
typedef HANDLE HMODULE;
typedef HANDLE HWND;
typedef void *LPVOID;
typedef void *PVOID;
typedef const void *LPCVOID;
typedef CHAR *LPSTR;
typedef const CHAR *LPCSTR;
typedef CHAR *LPCH;
typedef WCHAR *LPWSTR;
typedef const WCHAR *LPCWSTR;
typedef WCHAR *LPWCH;
typedef const WCHAR *LPCWCH;
typedef BYTE *LPBYTE;
typedef DWORD *LPDWORD;
typedef LONG *PLONG;
typedef BOOL *LPBOOL;
typedef INT_PTR (*FARPROC)(void);
typedef BOOL (*PHANDLER_ROUTINE)(DWORD event);

#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)
#define STD_INPUT_HANDLE ((DWORD)-10)
#define STD_OUTPUT_HANDLE ((DWORD)-11)
#define STD_ERROR_HANDLE ((DWORD)-12)

#define FILE_TYPE_UNKNOWN 0
#define FILE_TYPE_DISK 1
#define FILE_TYPE_CHAR 2
#define FILE_TYPE_PIPE 3

#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2
#define INVALID_SET_FILE_POINTER ((DWORD)-1)
#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)
#define FILE_ATTRIBUTE_READONLY 0x01
#define FILE_ATTRIBUTE_DIRECTORY 0x10
#define FILE_ATTRIBUTE_ARCHIVE 0x20

#define HEAP_NO_SERIALIZE 0x01
#define HEAP_ZERO_MEMORY 0x08

#define CP_ACP 0
#define CP_UTF8 65001
#define WC_NO_BEST_FIT_CHARS 0x400
#define NORM_IGNORECASE 0x01
#define CSTR_LESS_THAN 1
#define CSTR_EQUAL 2
#define CSTR_GREATER_THAN 3
#define MAX_LEADBYTES 12
#define MAX_DEFAULTCHAR 2

#define ERROR_SUCCESS 0
#define ERROR_INVALID_FUNCTION 1
#define ERROR_FILE_NOT_FOUND 2
#define ERROR_PATH_NOT_FOUND 3
#define ERROR_ACCESS_DENIED 5
#define ERROR_INVALID_HANDLE 6
#define ERROR_NOT_ENOUGH_MEMORY 8
#define ERROR_BAD_ENVIRONMENT 10
#define ERROR_INVALID_PARAMETER 87
#define ERROR_DISK_FULL 112
#define ERROR_INSUFFICIENT_BUFFER 122
#define ERROR_CALL_NOT_IMPLEMENTED 120
#define ERROR_INVALID_NAME 123
#define ERROR_FILENAME_EXCED_RANGE 206
#define ERROR_FILE_TOO_LARGE 223
#define ERROR_BAD_EXE_FORMAT 193
#define ERROR_ENVVAR_NOT_FOUND 203
#define ERROR_INVALID_FLAGS 1004
/* The rest of the codes the error map names, with the Windows headers'
   values. */
#define ERROR_TOO_MANY_OPEN_FILES 4
#define ERROR_ARENA_TRASHED 7
#define ERROR_INVALID_BLOCK 9
#define ERROR_BAD_ENVIRONMENT 10
#define ERROR_BAD_FORMAT 11
#define ERROR_INVALID_ACCESS 12
#define ERROR_INVALID_DATA 13
#define ERROR_INVALID_DRIVE 15
#define ERROR_CURRENT_DIRECTORY 16
#define ERROR_NOT_SAME_DEVICE 17
#define ERROR_NO_MORE_FILES 18
#define ERROR_WRITE_PROTECT 19
#define ERROR_LOCK_VIOLATION 33
#define ERROR_SHARING_BUFFER_EXCEEDED 36
#define ERROR_BAD_NETPATH 53
#define ERROR_NETWORK_ACCESS_DENIED 65
#define ERROR_BAD_NET_NAME 67
#define ERROR_FILE_EXISTS 80
#define ERROR_CANNOT_MAKE 82
#define ERROR_FAIL_I24 83
#define ERROR_NO_PROC_SLOTS 89
#define ERROR_DRIVE_LOCKED 108
#define ERROR_BROKEN_PIPE 109
#define ERROR_INVALID_TARGET_HANDLE 114
#define ERROR_WAIT_NO_CHILDREN 128
#define ERROR_CHILD_NOT_COMPLETE 129
#define ERROR_DIRECT_ACCESS_HANDLE 130
#define ERROR_NEGATIVE_SEEK 131
#define ERROR_SEEK_ON_DEVICE 132
#define ERROR_DIR_NOT_EMPTY 145
#define ERROR_NOT_LOCKED 158
#define ERROR_BAD_PATHNAME 161
#define ERROR_MAX_THRDS_REACHED 164
#define ERROR_LOCK_FAILED 167
#define ERROR_ALREADY_EXISTS 183
#define ERROR_INVALID_STARTING_CODESEG 188
#define ERROR_INFLOOP_IN_RELOC_CHAIN 202
#define ERROR_NESTING_NOT_ALLOWED 215
#define ERROR_NOT_ENOUGH_QUOTA 1816
#define ERROR_ELEVATION_REQUIRED 740
#define ERROR_CANCELLED 1223

#define GENERIC_READ 0x80000000u
#define FILE_READ_ATTRIBUTES 0x80
#define FILE_SHARE_READ 0x1
#define FILE_SHARE_WRITE 0x2
#define FILE_SHARE_DELETE 0x4
#define OPEN_EXISTING 3
#define FILE_ATTRIBUTE_NORMAL 0x80
#define MB_ERR_INVALID_CHARS 0x8
#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0
#define WAIT_FAILED 0xFFFFFFFFu
#define CTRL_C_EVENT 0
#define CTRL_BREAK_EVENT 1
#define CTRL_CLOSE_EVENT 2
#define JOB_OBJECT_LIMIT_BREAKAWAY_OK 0x800
#define JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE 0x2000
#define MB_OK 0x0
#define MB_ICONERROR 0x10
#define MB_SETFOREGROUND 0x10000
#define STARTF_USESHOWWINDOW 0x1
#define SW_SHOWNORMAL 1
#define TOKEN_QUERY 0x8
#define SEE_MASK_NOCLOSEPROCESS 0x40
#define SEE_MASK_NOASYNC 0x100
#define STARTF_USESTDHANDLES 0x100
#define SW_SHOWMAXIMIZED 3
#define SW_SHOWMINNOACTIVE 7
#define UOI_FLAGS 1
#define WSF_VISIBLE 0x1
#define EVENTLOG_ERROR_TYPE 0x1
#define IMAGE_SUBSYSTEM_WINDOWS_GUI 2
#define IMAGE_SUBSYSTEM_WINDOWS_CUI 3

#define EXCEPTION_EXECUTE_HANDLER 1
#define EXCEPTION_CONTINUE_SEARCH 0
#define EXCEPTION_CONTINUE_EXECUTION (-1)
#define EXCEPTION_NONCONTINUABLE 0x1
#define EXCEPTION_UNWINDING 0x2
#define EXCEPTION_EXIT_UNWIND 0x4
#define EXCEPTION_ACCESS_VIOLATION 0xC0000005u

typedef struct _SECURITY_ATTRIBUTES *LPSECURITY_ATTRIBUTES;

typedef struct _STARTUPINFOA {
    DWORD cb;
    LPSTR lpReserved;
    LPSTR lpDesktop;
    LPSTR lpTitle;
    DWORD dwX;
    DWORD dwY;
    DWORD dwXSize;
    DWORD dwYSize;
    DWORD dwXCountChars;
    DWORD dwYCountChars;
    DWORD dwFillAttribute;
    DWORD dwFlags;
    WORD wShowWindow;
    WORD cbReserved2;
    LPBYTE lpReserved2;
    HANDLE hStdInput;
    HANDLE hStdOutput;
    HANDLE hStdError;
} STARTUPINFOA, *LPSTARTUPINFOA;

typedef struct _PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
} PROCESS_INFORMATION, *LPPROCESS_INFORMATION;

typedef struct _FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
} FILETIME;

typedef struct _BY_HANDLE_FILE_INFORMATION {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD dwVolumeSerialNumber;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD nNumberOfLinks;
    DWORD nFileIndexHigh;
    DWORD nFileIndexLow;
} BY_HANDLE_FILE_INFORMATION, *LPBY_HANDLE_FILE_INFORMATION;

typedef struct _WIN32_FILE_ATTRIBUTE_DATA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
} WIN32_FILE_ATTRIBUTE_DATA;

typedef enum _GET_FILEEX_INFO_LEVELS { GetFileExInfoStandard } GET_FILEEX_INFO_LEVELS;

typedef struct _cpinfo {
    UINT MaxCharSize;
    BYTE DefaultChar[MAX_DEFAULTCHAR];
    BYTE LeadByte[MAX_LEADBYTES];
} CPINFO, *LPCPINFO;

/* Only the limit flags matter here; the rest keeps the platform's size. */
typedef struct _JOBOBJECT_BASIC_LIMIT_INFORMATION {
    int64_t PerProcessUserTimeLimit;
    int64_t PerJobUserTimeLimit;
    DWORD LimitFlags;
    SIZE_T MinimumWorkingSetSize;
    SIZE_T MaximumWorkingSetSize;
    DWORD ActiveProcessLimit;
    uintptr_t Affinity;
    DWORD PriorityClass;
    DWORD SchedulingClass;
} JOBOBJECT_BASIC_LIMIT_INFORMATION;

typedef struct _IO_COUNTERS {
    uint64_t counts[6];
} IO_COUNTERS;

typedef struct _JOBOBJECT_EXTENDED_LIMIT_INFORMATION {
    JOBOBJECT_BASIC_LIMIT_INFORMATION BasicLimitInformation;
    IO_COUNTERS IoInfo;
    SIZE_T ProcessMemoryLimit;
    SIZE_T JobMemoryLimit;
    SIZE_T PeakProcessMemoryUsed;
    SIZE_T PeakJobMemoryUsed;
} JOBOBJECT_EXTENDED_LIMIT_INFORMATION;

typedef enum _JOBOBJECTINFOCLASS {
    JobObjectExtendedLimitInformation = 9
} JOBOBJECTINFOCLASS;

typedef enum _TOKEN_INFORMATION_CLASS { TokenElevation = 20 } TOKEN_INFORMATION_CLASS;
typedef struct _TOKEN_ELEVATION {
    DWORD TokenIsElevated;
} TOKEN_ELEVATION;

/* USER32's flags of a window station, as GetUserObjectInformationW gives
   them. */
typedef struct tagUSEROBJECTFLAGS {
    BOOL fInherit;
    BOOL fReserved;
    DWORD dwFlags;
} USEROBJECTFLAGS;

/* SHELL32's start record, for ShellExecuteExW found at run time. */
typedef struct _SHELLEXECUTEINFOW {
    DWORD cbSize;
    DWORD fMask;
    HWND hwnd;
    LPCWSTR lpVerb;
    LPCWSTR lpFile;
    LPCWSTR lpParameters;
    LPCWSTR lpDirectory;
    int nShow;
    HMODULE hInstApp;
    void *lpIDList;
    LPCWSTR lpClass;
    HANDLE hkeyClass;
    DWORD dwHotKey;
    HANDLE hIcon;
    HANDLE hProcess;
} SHELLEXECUTEINFOW;

typedef struct _EXCEPTION_RECORD {
    DWORD ExceptionCode;
    DWORD ExceptionFlags;
    struct _EXCEPTION_RECORD *ExceptionRecord;
    LPVOID ExceptionAddress;
    DWORD NumberParameters;
} EXCEPTION_RECORD, *PEXCEPTION_RECORD;

typedef struct _CONTEXT CONTEXT, *PCONTEXT;

typedef struct _EXCEPTION_POINTERS {
    PEXCEPTION_RECORD ExceptionRecord;
    PCONTEXT ContextRecord;
} EXCEPTION_POINTERS, *PEXCEPTION_POINTERS;

#ifdef __cplusplus
extern "C" {
#endif

/* environment */
DWORD GetEnvironmentVariableA(LPCSTR name, LPSTR buffer, DWORD size);
LPWCH GetEnvironmentStringsW(void);
LPCH GetEnvironmentStrings(void);
BOOL FreeEnvironmentStringsW(LPWCH block);
BOOL FreeEnvironmentStringsA(LPCH block);
DWORD GetEnvironmentVariableW(LPCWSTR name, LPWSTR buffer, DWORD size);
BOOL SetEnvironmentVariableW(LPCWSTR name, LPCWSTR value);

/* current directory and files */
DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer);
BOOL SetCurrentDirectoryA(LPCSTR path);
DWORD GetCurrentDirectoryW(DWORD size, LPWSTR buffer);
DWORD GetFileAttributesA(LPCSTR path);
BOOL GetFileAttributesExW(LPCWSTR path, GET_FILEEX_INFO_LEVELS level, void *information);
DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distance_high, DWORD method);

/* code pages and comparison */
UINT GetACP(void);
BOOL GetCPInfo(UINT code_page, LPCPINFO info);
int CompareStringA(LCID locale, DWORD flags, LPCSTR a, int a_length, LPCSTR b, int b_length);
int CompareStringW(LCID locale, DWORD flags, LPCWSTR a, int a_length, LPCWSTR b, int b_length);
int MultiByteToWideChar(UINT code_page, DWORD flags, LPCSTR text, int length, LPWSTR wide,
                        int wide_size);
int WideCharToMultiByte(UINT code_page, DWORD flags, LPCWSTR wide, int length, LPSTR text,
                        int text_size, LPCSTR default_char, LPBOOL used_default);

/* processes */
BOOL CreateProcessA(LPCSTR application, LPSTR command_line, LPSECURITY_ATTRIBUTES process_attributes,
                    LPSECURITY_ATTRIBUTES thread_attributes, BOOL inherit_handles, DWORD flags,
                    LPVOID environment, LPCSTR directory, LPSTARTUPINFOA startup,
                    LPPROCESS_INFORMATION information);
LPWSTR GetCommandLineW(void);
DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size);
DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size);
void GetStartupInfoA(LPSTARTUPINFOA startup);
[[noreturn]] void ExitProcess(UINT code);
HANDLE GetCurrentProcess(void);
DWORD GetCurrentProcessId(void);
BOOL ProcessIdToSessionId(DWORD process, DWORD *session);
BOOL TerminateProcess(HANDLE process, UINT code);
LONG UnhandledExceptionFilter(EXCEPTION_POINTERS *pointers);
HMODULE LoadLibraryA(LPCSTR name);
HMODULE GetModuleHandleA(LPCSTR name);
FARPROC GetProcAddress(HMODULE module, LPCSTR name);

/* waiting for a started process */
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
BOOL GetExitCodeProcess(HANDLE process, LPDWORD code);
BOOL CloseHandle(HANDLE object);
BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add);
HANDLE CreateJobObjectA(LPSECURITY_ATTRIBUTES attributes, LPCSTR name);
BOOL SetInformationJobObject(HANDLE job, JOBOBJECTINFOCLASS kind, LPVOID information, DWORD size);
BOOL AssignProcessToJobObject(HANDLE job, HANDLE process);
DWORD GetConsoleProcessList(LPDWORD processes, DWORD count);
BOOL FreeConsole(void);

/* files */
HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD attributes, HANDLE template_file);
HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD attributes, HANDLE template_file);
BOOL ReadFile(HANDLE file, LPVOID data, DWORD count, LPDWORD read, LPVOID overlapped);
BOOL GetFileInformationByHandle(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information);
DWORD GetFullPathNameA(LPCSTR name, DWORD size, LPSTR buffer, LPSTR *file_part);
DWORD GetFullPathNameW(LPCWSTR name, DWORD size, LPWSTR buffer, LPWSTR *file_part);

/* handles and output */
HANDLE GetStdHandle(DWORD which);
DWORD GetFileType(HANDLE file);
UINT SetHandleCount(UINT count);
BOOL WriteFile(HANDLE file, LPCVOID data, DWORD count, LPDWORD written, LPVOID overlapped);
DWORD GetLastError(void);
void SetLastError(DWORD code);
void OutputDebugStringA(LPCSTR text);
void OutputDebugStringW(LPCWSTR text);

/* heap */
HANDLE HeapCreate(DWORD options, SIZE_T initial, SIZE_T maximum);
BOOL HeapDestroy(HANDLE heap);
LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T size);
BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID block);

#ifdef __cplusplus
}
#endif

#endif
