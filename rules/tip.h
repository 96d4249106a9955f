/* The tray tip and the notices' title, built from the craft records and the record's
   folder. Plain rules, free of windows, so that they test on their own. */
#ifndef QUORVEL_RULES_TIP_H
#define QUORVEL_RULES_TIP_H

#include <cstddef>
#include <cstdint>

#include "model/craft.h"

enum { TIP_TEXT_SIZE = 128 };   /* the tray tip, the shell's limit with its terminator */

/* The tip's words, from the resources: the crafts' names in order, the text of a craft
   that is due, and the word before the clock time of one that is not. */
struct TipWords {
    const wchar_t *labels[CRAFT_COUNT];
    const wchar_t *ready;
    const wchar_t *at;
};

void FormatTrayTitle(const wchar_t *directory, wchar_t *text, size_t size);
int FormatTrayTip(const CraftTimer *records, int count, const TipWords *words, const wchar_t *directory,
                  int32_t now, wchar_t *text, size_t size);

#endif
