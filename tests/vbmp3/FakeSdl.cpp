// A library that takes SDL's file name but offers none of its functions: the
// decoder library must refuse it and play silently.
extern "C" __attribute__((visibility("default"))) int vbmp3_fake_sdl_marker() { return 1; }
