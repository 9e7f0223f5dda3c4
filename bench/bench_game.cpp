// Costs of dealing and of the freedom analysis, each beside the copy of one
// 640x480 16-bit frame as a yardstick measured in the same run.
#include "game/board.h"
#include "game/deal.h"
#include "game/freedom.h"
#include "gfx/geometry.h"
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <cstring>
#include <vector>

// Sound is never started here, so the effect at the end of a deal returns at once.
static void BM_deal_board(benchmark::State &state) {
    srand(1);
    for (auto _ : state) {
        deal_board();
        benchmark::DoNotOptimize(board.tiles[0].face);
    }
}
BENCHMARK(BM_deal_board);

static void BM_update_tile_flags(benchmark::State &state) {
    srand(1);
    deal_board();
    // Half the board taken off, as in the middle of a game.
    for (int k = 0; k < 36; ++k) {
        board.tiles[board.move_history[2 * k]].flags |= TILE_REMOVED;
        board.tiles[board.move_history[2 * k + 1]].flags |= TILE_REMOVED;
    }
    for (auto _ : state) {
        update_tile_flags();
        benchmark::DoNotOptimize(board.tiles[143].flags);
    }
}
BENCHMARK(BM_update_tile_flags);

static void BM_memcpy_frame(benchmark::State &state) {
    const size_t bytes = WORK_WIDTH * WORK_HEIGHT * 2;
    std::vector<char> from(bytes, 1), to(bytes);
    for (auto _ : state) {
        memcpy(to.data(), from.data(), bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)bytes);
}
BENCHMARK(BM_memcpy_frame);

BENCHMARK_MAIN();
