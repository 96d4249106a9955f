// Small pieces the tests share: a seeded generator, a time-zone scope, Wine's name of a
// Linux path, the records as a settings test starts from, and the texts of the program's
// version block.
#ifndef QUORVEL_TEST_SUPPORT_H
#define QUORVEL_TEST_SUPPORT_H

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>

#include "model/craft.h"
#include "settings/settings.h"

// A small deterministic generator, so that a seed always makes the same run.
struct Rng {
    uint64_t state;
    uint64_t Next()
    {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint32_t Below(uint32_t n) { return (uint32_t)(Next() % n); }
    bool OneIn(uint32_t n) { return Below(n) == 0; }
};

// Sets the process's time zone for one test and puts the old one back afterwards. The
// runtime keeps the daylight offset of the zone it last read from the system (none on
// a machine set to UTC) when TZ names a zone without one, so the usual hour is set too.
class ZoneScope {
public:
    explicit ZoneScope(const char *setting) : bias_(_dstbias)
    {
        const char *old = getenv("TZ");
        previous_ = std::string("TZ=") + (old ? old : "");
        _putenv(setting);
        _tzset();
        _dstbias = -3600;
    }
    ~ZoneScope()
    {
        _putenv(previous_.c_str());
        _tzset();
        _dstbias = bias_;
    }

private:
    std::string previous_;
    long bias_;
};

// A Linux path as Wine's Windows side sees it.
inline std::string WinePath(const std::string &unix_path)
{
    std::string path = "Z:" + unix_path;
    for (char &c : path)
        if (c == '/')
            c = '\\';
    return path;
}

// The records before a load: nothing tracked or scheduled, every skill 0.0 and every
// alert set, so that whatever a load leaves there is its own doing.
inline void ResetRecords()
{
    for (CraftTimer &craft : crafts) {
        craft.available = 0;
        craft.skill.store(0.0);
        craft.next_time = 0;
        craft.alerted = 1;
    }
    StatusPosition = {};
}

// The version block's description and copyright, the about box's first and last lines.
const char COMMENTS[] = "Quorvel - bulk order timers for RPG crafters";
const char COPYRIGHT[] = "Copyright (C) 2026 the Quorvel authors";

#endif
