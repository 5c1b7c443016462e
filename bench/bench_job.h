// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Reading, saving and start-up, each against its baseline; prints a table.
void BenchWholeJob();

// How long the window goes without answering while it reads 50 MP, and the
// memory left after a large photo and then a small one; prints a table.
void BenchWaiting();

// Reading a photo stored sideways against the same picture upright, at
// 12 and 192 MP: time and peak memory.
void BenchSideways();

// The live verdict on a 50 MP photo at scale 2: the colour part per drag
// move next to the move's own cost, the face part per request, and the
// window's longest gap while dragging with verdicts on and off.
void BenchVerdict();

// The head measure on a 200 x 280 frame next to the face part it follows,
// and the double-click on a 12 MP portrait through the window.
void BenchHead();

// A class's folder through exam-photo --batch: one job against two, against
// the window's own steps and against OpenCV's Python; the memory of eight
// 100 MP photos at once.
void BenchBatch();
