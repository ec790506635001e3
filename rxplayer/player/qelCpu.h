// The CPU capability mask of the FFmpeg libraries: the player runs them without CPU-specific
// code paths (mask 0), as the box's libraries were built.
#pragma once

// Forces the mask to 0; call before any stream is opened.
void qelCpuForceNoFlags();
