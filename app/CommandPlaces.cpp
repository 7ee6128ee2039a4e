#include "app/CommandPlaces.h"

#include <iterator>

namespace kv7 {

namespace {

using namespace Buttons;

struct Row {
    Buttons::Id id;
    CommandPlace place;
};

// Each button once: its design place (left, top, width, height in twips).
constexpr Row kPlaces[] = {
    {GetVersion, {4800, 5160, 1635, 315}},
    {GetBattery, {4800, 5520, 1635, 315}},
    {GetSoundFileHeader, {180, 5760, 2115, 315}},
    {GetGains, {9900, 1140, 975, 315}},
    {Recaller1, {6540, 6540, 1035, 315}},
    {PlaySample1, {6540, 60, 2115, 315}},
    {SendString, {6540, 6180, 2115, 315}},
    {PlaySampleDuration, {6540, 2940, 2115, 315}},
    {SetAll, {9900, 2580, 975, 315}},
    {Recaller2, {7620, 6540, 1035, 315}},
    {StopSound, {6540, 780, 2115, 315}},
    {StopSoundB, {8760, 780, 735, 315}},
    {K0, {9600, 780, 735, 315}},
    {K1, {8760, 60, 735, 315}},
    {PlaySample2, {6540, 420, 2115, 315}},
    {SetChronoInput, {6540, 3660, 2115, 315}},
    {GetChronoInput, {6540, 3300, 2115, 315}},
    {EnableReadyMessage, {6540, 4020, 2115, 315}},
    {DisableReadyMessage, {8760, 4020, 2115, 315}},
    {EnableStartMessage, {6540, 4380, 2115, 315}},
    {DisableStartMessage, {8760, 4380, 2115, 315}},
    {EnableTalkMessage, {6540, 4740, 2115, 315}},
    {DisableTalkMessage, {8760, 4740, 2115, 315}},
    {EnablePowerAmp, {6540, 5100, 2115, 315}},
    {DisablePowerAmp, {8760, 5100, 2115, 315}},
    {StartNormallyOpen, {6540, 5460, 2115, 315}},
    {StartNormallyClosed, {8760, 5460, 2115, 315}},
    {FlashNormallyOpen, {6540, 5820, 2115, 315}},
    {FlashNormallyClosed, {8760, 5820, 2115, 315}},
    {SaveSettings, {6540, 7200, 2115, 315}},
    {SetDeviceBaud, {180, 5340, 2115, 315}},
    {EraseSampleArea, {180, 6120, 2115, 315}},
    {UploadSample, {180, 6480, 2115, 315}},
    {GetSoundFiles, {2880, 5760, 1395, 315}},
    {Recaller3, {8760, 6540, 1035, 315}},
    {ResetRecaller, {9840, 6540, 1035, 315}},
    {UploadFirmware, {180, 6840, 2115, 315}},
};

constexpr bool EachRowAtItsIndex()
{
    for (int i = 0; i < Count; ++i)
        if (kPlaces[i].id != i)
            return false;
    return true;
}

static_assert(std::size(kPlaces) == Count, "one row for each button");
static_assert(EachRowAtItsIndex(), "the rows in the order of Buttons::Id");

} // namespace

const CommandPlace &CommandPlaceOf(Buttons::Id id)
{
    return kPlaces[id].place;
}

} // namespace kv7
