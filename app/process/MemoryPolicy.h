#pragma once

// Long runs: memory the program frees goes back to the system.
//
// glibc's allocator raises its threshold for serving large blocks from the
// system (mmap) each time such a block is freed, after which blocks of a
// burst's size come from the heap and stay resident once freed. A monitor
// that takes a burst of megabytes now and then would keep its largest burst
// resident for good. A fixed threshold keeps every large buffer (a burst's
// text, a slice) mapped on its own and unmapped when freed, and the heap's
// free top is trimmed past 1 MiB. Called once, first thing in main().
void returnFreedMemoryToSystem();
