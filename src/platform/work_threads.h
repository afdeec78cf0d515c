// How many threads the program's heavy work (reading the data, drawing the scene) may use.
#pragma once

namespace platform {

// The processors there are (at least 1).
unsigned Processors();

// SCATTERVIEW_THREADS when it is a positive number, else the processors there are; at most two.
unsigned WorkThreads();

}  // namespace platform
