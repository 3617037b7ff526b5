// The one translation unit that holds the code of stb's picture libraries.
// The PNG writer deflates through zlib at its fastest level rather than with
// its own compressor, several times slower: a replay writes thousands of
// frames. The hook is defined with the rest of the PNG writing, in
// host/png_file.cpp.
unsigned char* panelhost_deflate_for_png(unsigned char* data, int length, int* out_length, int quality);
#define STBIW_ZLIB_COMPRESS panelhost_deflate_for_png
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include "stb_image_write.h"
#define STB_IMAGE_IMPLEMENTATION
#include "stb_image.h"
#define STB_IMAGE_RESIZE_IMPLEMENTATION
#include "stb_image_resize.h"
