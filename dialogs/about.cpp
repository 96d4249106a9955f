/* The about box. */
#include "app/app.h"

/* Opens the about box owned by the main window. */
int OpenAboutDialog(HWND)
{
    return 0;
}
