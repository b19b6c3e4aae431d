#pragma once
// The playback time display of the main page: the play/pause symbol, the audio's name, the
// position and duration texts and the position bar (0 to 100). The engine keeps it up to date
// on the UI thread; the UI draws it.
#include <cstdint>
#include <string>

namespace ProjectTavrin {

/// Symbol values of the play/pause button.
enum class PlaySymbol : int { Play = 57602, Pause = 57603 };

struct PlaybackDisplay {
    PlaySymbol symbol = PlaySymbol::Play;
    std::u16string audioName;                 ///< file name with extension, empty: no audio
    std::string positionText = "00:00:00";
    std::string durationText = "/00:00:00";
    double positionBar = 0.0;                 ///< 0 to 100
};

/// "hh:mm:ss" of the whole seconds in `ticks` (100 ns each). Hours are shown in full (61 hours
/// reads 61:00:00; past 99 hours they take more digits); negative times read 00:00:00.
std::string PlaybackTimeText(int64_t ticks);
/// "/" and the time text of the duration.
std::string DurationText(int64_t ticks);
/// Position bar value: position / (duration / 100, a whole division), within 0 to 100; 0 while
/// the duration is under 100 ticks.
double PositionBarValue(int64_t positionTicks, int64_t durationTicks);

}  // namespace ProjectTavrin
