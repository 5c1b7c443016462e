#pragma once

// Reading, saving and start-up, each against its baseline; prints a table.
void BenchWholeJob();
