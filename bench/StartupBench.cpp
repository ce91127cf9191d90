// Start-up, process start to window shown and idle, stage by stage: the minimal window program
// gains one of Quenlith's start-up stages at a time, measured side by side with Quenlith.
#include "Bench.h"

#include <utility>

namespace quenlith::bench {

int RunStartup(const std::wstring& quenlith, const std::wstring& minimal, int repetitions) {
    const std::vector<std::pair<const char*, std::wstring>> ladder = {
        {"Start-up of a minimal window program (process, window, first paint)", minimal},
        {"+ loading ole32, oleaut32 and comctl32", minimal + L" dlls"},
        {"+ joining a COM apartment", minimal + L" dlls com"},
        {"+ initialising Common Controls 6", minimal + L" dlls com commoncontrols"},
        {"+ its eight controls, texts and fonts", minimal + L" dlls com commoncontrols controls"},
        {"Start-up of Quenlith to window shown and idle", quenlith},
    };
    std::vector<std::vector<double>> times(ladder.size());
    for (int i = 0; i < repetitions; ++i) {
        for (std::size_t rung = 0; rung < ladder.size(); ++rung) {
            Launched launched = Launch(ladder[rung].second);
            times[rung].push_back(launched.milliseconds);
            Close(launched);
        }
    }
    double previous = 0;
    for (std::size_t rung = 0; rung < ladder.size(); ++rung) {
        const double median = Median(times[rung]);
        const bool stage = rung > 0 && rung + 1 < ladder.size();
        Row(ladder[rung].first, stage ? Milliseconds(median) + " (" +
                                            (median >= previous ? "+" : "") +
                                            Milliseconds(median - previous) + ")"
                                      : Milliseconds(median));
        previous = median;
    }
    Row("Ratio start-up of Quenlith / minimal window",
        Ratio(Median(times.back()) / Median(times.front())));
    Row("Ratio start-up of Quenlith / its last stage (what Quenlith does beyond its stages)",
        Ratio(Median(times.back()) / Median(times[times.size() - 2])));
    return 0;
}

} // namespace quenlith::bench
