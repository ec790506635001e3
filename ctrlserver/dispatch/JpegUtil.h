// The JPEG header reader of the upload path: it reads a picture's header and gives its width,
// height and file size. It accepts one profile only (baseline JFIF version 1, 8-bit, three
// components Y, Cb and Cr, chroma sampled at one sample per block and not above the luma, no
// thumbnail) and keeps a fixed message for every refusal. It decodes no picture data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Reads the header of a whole file image of size bytes. 1 when accepted, with width and
// height set; 0 otherwise, with *error pointing to the refusal's fixed message. Never reads
// outside [image, image + size).
int parseJpegHeader(const uint8_t* image, size_t size, unsigned int* width, unsigned int* height,
                    const char** error);

// The size of an open file in bytes; the file position is left where it was. -1 when the
// file cannot be measured.
long filesize(FILE* fp);

// Reads the whole open file and its header. The size is set before anything else, so it is
// set even when the header is refused. 1 or 0; a refusal's message is kept (jpegErrorText).
int load_JPEG_header(FILE* fp, unsigned int* width, unsigned int* height, long* size);

// Opens path and reads its header. 1 with the three results set; 0 otherwise, with the
// results untouched and the refusal's message printed as a line.
int checkJpeg(const char* path, unsigned int* width, unsigned int* height, long* size);

// The message of the last refusal ("" before any).
const char* jpegErrorText();
