#pragma once

#include <string>  // std::string

namespace quorvane::bench {

// A folder of `count` files: the one scripts/bench keeps as $QUORVANE_BENCH_DIR/files_<count>
// where it is there, else one with names of mixed case, pictures among them, made once per count
// under $QUORVANE_BENCH_DIR (else $TMPDIR, else /tmp) and removed when the program ends.
const std::string& FolderOf(int count);

}  // namespace quorvane::bench
