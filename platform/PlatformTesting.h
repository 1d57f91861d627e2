// Hooks that let tests provoke failures the real world produces rarely.
#pragma once

namespace plat::testing {

// Makes every later whole-file write fail with a full disk once it has put
// down this many bytes; a negative value switches the fault off.
void SetWriteFaultAfter(long long bytes);

}  // namespace plat::testing
