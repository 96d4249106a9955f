/* The status dialog. */
#include "app/app.h"

/* Opens the status dialog owned by the main window. */
int OpenStatusDialog(HWND)
{
    return 0;
}
