/* Writes a four-component JPEG, stored as CMYK or as YCCK, from raw 8-bit CMYK
 * on stdin (Adobe convention: inverted values). cjpeg takes no CMYK input and
 * ImageMagick always picks YCCK, so the fixture script builds this small tool.
 * Usage: make_cmyk cmyk|ycck WIDTH HEIGHT QUALITY < in.cmyk > out.jpg */
#include <string.h>
#include <stdio.h>
#include <stdlib.h>
#include <jpeglib.h>

int main(int argc, char** argv) {
    if (argc != 5) return 2;
    int ycck = strcmp(argv[1], "ycck") == 0;
    int width = atoi(argv[2]), height = atoi(argv[3]), quality = atoi(argv[4]);
    unsigned char* raster = malloc((size_t)width * height * 4);
    if (!raster || fread(raster, 4, (size_t)width * height, stdin) != (size_t)width * height) return 1;

    struct jpeg_compress_struct cinfo;
    struct jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, stdout);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, ycck ? JCS_YCCK : JCS_CMYK);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = raster + (size_t)cinfo.next_scanline * width * 4;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    free(raster);
    return 0;
}
