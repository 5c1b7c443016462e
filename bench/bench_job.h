// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Reading, saving and start-up, each against its baseline; prints a table.
void BenchWholeJob();

// How long the window goes without answering while it reads 50 MP, and the
// memory left after a large photo and then a small one; prints a table.
void BenchWaiting();
