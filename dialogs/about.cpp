/* The about box: the program's icon and three lines read from the version block of a
   file on disk, the program's own unless the box is told otherwise. Paths and texts are
   wide, so that a folder named outside the system's code page reads like any other. */
#include "dialogs/about.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "res/resource.h"

/* 1 while an about box exists; only OpenAboutDialog and CloseAboutDialog touch it. */
static int32_t about_open;

/* The box showing now, so that a second request can bring it forward; null otherwise. */
static HWND about_box;

/* The version functions, taken from the system folder's version.dll the first time a box
   opens and kept for the life of the process. The program does not import them: an
   imported version.dll would be looked for in the program's folder first, where anyone
   who can write there could plant one. */
static struct {
    int tried;
    decltype(&GetFileVersionInfoSizeW) size_of;
    decltype(&GetFileVersionInfoW) read;
    decltype(&VerQueryValueW) query;
} version_calls;

enum {
    PATH_SIZE = 260,
    QUERY_SIZE = 256,
    TEXT_SIZE = 256,
    VERSION_LINE_SIZE = 32, /* "Version " and at most 23 characters of FileVersion */
    FILE_VERSION_SIZE = VERSION_LINE_SIZE - 8
};

/* The first language and code page of a version block. */
struct Translation {
    WORD language;
    WORD code_page;
};

/* Takes the three version functions, trying once per process; 0 when they are not there,
   and the box then keeps its template text as for a file without a block. */
static int LoadVersionCalls()
{
    if (version_calls.tried)
        return version_calls.query != nullptr;
    version_calls.tried = 1;
    HMODULE library = LoadSystemLibrary(L"version.dll");
    if (!library)
        return 0;
    /* Through a plain function pointer, which converts to any other without a warning. */
    typedef void (*AnyCall)();
    AnyCall size_of = (AnyCall)GetProcAddress(library, "GetFileVersionInfoSizeW");
    AnyCall read = (AnyCall)GetProcAddress(library, "GetFileVersionInfoW");
    AnyCall query = (AnyCall)GetProcAddress(library, "VerQueryValueW");
    if (!size_of || !read || !query)
        return 0;
    version_calls.size_of = (decltype(version_calls.size_of))size_of;
    version_calls.read = (decltype(version_calls.read))read;
    version_calls.query = (decltype(version_calls.query))query;
    return 1;
}

/* Reads the first pair of \VarFileInfo\Translation; 0 when the block has none. */
static int ReadTranslation(const void *block, Translation *first)
{
    void *value = nullptr;
    UINT length = 0;
    if (!version_calls.query(block, L"\\VarFileInfo\\Translation", &value, &length))
        return 0;
    if (!value || length < sizeof *first)
        return 0;
    memcpy(first, value, sizeof *first);
    return 1;
}

/* Copies one string value of the block's first string table into text, cut to fit;
   0 when the block does not hold it. The reported length bounds the read, so a value
   without its terminator cannot run past the block. */
static int ReadString(const void *block, Translation tr, const WCHAR *key, WCHAR *text, size_t size)
{
    WCHAR query[QUERY_SIZE];
    wsprintfW(query, L"\\StringFileInfo\\%04x%04x\\%s", tr.language, tr.code_page, key);
    void *value = nullptr;
    UINT length = 0;
    if (!version_calls.query(block, query, &value, &length) || !value)
        return 0;
    size_t n = wcsnlen((const WCHAR *)value, length);
    if (n >= size)
        n = size - 1;
    memcpy(text, value, n * sizeof *text);
    text[n] = L'\0';
    return 1;
}

/* Sets one text line of the box. */
static void SetLine(HWND box, int control, const WCHAR *text)
{
    SetWindowTextW(GetDlgItem(box, control), text);
}

/* Shows Comments, the version line and LegalCopyright from a version block already
   read; a line whose value is missing keeps its template text. Returns 1 when all
   three were found. */
static int ShowVersionLines(HWND box, const void *block)
{
    Translation tr;
    if (!ReadTranslation(block, &tr))
        return 0;
    WCHAR comments[TEXT_SIZE], copyright[TEXT_SIZE], file_version[FILE_VERSION_SIZE];
    int found = 0;
    if (ReadString(block, tr, L"Comments", comments, TEXT_SIZE)) {
        SetLine(box, IDC_ABOUT_COMMENTS, comments);
        found++;
    }
    int has_copyright = ReadString(block, tr, L"LegalCopyright", copyright, TEXT_SIZE);
    /* A long FileVersion is cut to what the line holds. */
    if (ReadString(block, tr, L"FileVersion", file_version, FILE_VERSION_SIZE)) {
        WCHAR line[VERSION_LINE_SIZE];
        wsprintfW(line, L"Version %s", file_version);
        SetLine(box, IDC_ABOUT_VERSION, line);
        found++;
    }
    if (has_copyright) {
        SetLine(box, IDC_ABOUT_COPYRIGHT, copyright);
        found++;
    }
    return found == 3;
}

/* Reads the version block of the file at path and shows its three lines; the lines
   keep their template text when the file has no readable block, or when version.dll
   could not be loaded. */
int FillAboutLines(HWND box, const WCHAR *path)
{
    if (!LoadVersionCalls())
        return 0;
    DWORD ignored = 0;
    DWORD size = version_calls.size_of(path, &ignored);
    if (size == 0)
        return 0;
    /* One spare zero byte after the block, and nothing left over from the heap. */
    void *block = calloc((size_t)size + 1, 1);
    if (!block)
        return 0;
    int done = 0;
    if (version_calls.read(path, 0, size, block))
        done = ShowVersionLines(box, block);
    free(block);
    return done;
}

/* Fills the box from the file named by the creation parameter, or from the program's
   own file when there is none. Always answers FALSE. */
static INT_PTR OnInitDialog(HWND box, LPARAM source)
{
    about_box = box;
    if (source) {
        FillAboutLines(box, (const WCHAR *)source);
        return FALSE;
    }
    WCHAR path[PATH_SIZE];
    DWORD length = GetModuleFileNameW(app_instance, path, PATH_SIZE);
    /* A path that filled the buffer was cut and may lack its terminator. */
    if (length > 0 && length < PATH_SIZE)
        FillAboutLines(box, path);
    return FALSE;
}

/* OK, by button or Enter, closes the box; every other command, Esc among them, is
   taken and ignored, so the box has one way out. */
static INT_PTR OnCommand(HWND box, WPARAM wparam)
{
    if (LOWORD(wparam) == IDC_ABOUT_OK)
        CloseAboutDialog(box);
    return TRUE;
}

/* The box is gone, by OK or with its owner: nothing left to bring forward. */
static INT_PTR OnDestroy()
{
    about_box = nullptr;
    return FALSE;
}

/* The about box's dialog procedure. */
INT_PTR CALLBACK AboutDialogProc(HWND box, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(box, lparam);
    case WM_COMMAND:
        return OnCommand(box, wparam);
    case WM_DESTROY:
        return OnDestroy();
    default:
        return FALSE;
    }
}

/* Clears the open flag, then ends the modal box. */
int CloseAboutDialog(HWND box)
{
    about_open = 0;
    EndDialog(box, 0);
    return 1;
}

/* Runs the about box modally, owned by owner; 0 without opening a second box when
   one is already open (that one is brought forward instead) or when none could be
   created, else 1 once it has been closed. */
int OpenAboutDialog(HWND owner)
{
    if (about_open) {
        if (about_box)
            SetForegroundWindow(about_box);
        return 0;
    }
    about_open = 1;
    if (DialogBoxParamA(app_instance, MAKEINTRESOURCEA(IDD_ABOUT), owner, AboutDialogProc, 0) == -1) {
        /* A box that never came up never runs its OK: without this it could not open again. */
        about_open = 0;
        return 0;
    }
    return 1;
}
