/* Writes a progressive colour JPEG with exactly N scans from a binary PPM on
 * stdin (cjpeg's -scans takes at most 100). DC goes first, then one first scan
 * per AC coefficient of each component at Al 5, then the refinements down to
 * Al 0, so that every prefix of the list is a complete image.
 * Usage: make_scans N < in.ppm > out.jpg */
#include <stdio.h>
#include <stdlib.h>
#include <jpeglib.h>

static void add_scan(jpeg_scan_info* s, int comp, int ss, int se, int ah, int al) {
    s->comps_in_scan = comp < 0 ? 3 : 1;
    for (int i = 0; i < s->comps_in_scan; ++i) s->component_index[i] = comp < 0 ? i : comp;
    s->Ss = ss; s->Se = se; s->Ah = ah; s->Al = al;
}

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    int wanted = atoi(argv[1]), width, height, maxval;
    if (scanf("P6 %d %d %d", &width, &height, &maxval) != 3 || maxval != 255 || getchar() == EOF) return 1;
    unsigned char* raster = malloc((size_t)width * height * 3);
    if (!raster || fread(raster, 3, (size_t)width * height, stdin) != (size_t)width * height) return 1;

    jpeg_scan_info* scans = calloc(2000, sizeof *scans);
    int n = 0;
    add_scan(&scans[n++], -1, 0, 0, 0, 5);
    for (int al = 4; al >= 0; --al) add_scan(&scans[n++], -1, 0, 0, al + 1, al);
    for (int c = 0; c < 3; ++c)
        for (int k = 1; k < 64; ++k) add_scan(&scans[n++], c, k, k, 0, 5);
    for (int c = 0; c < 3; ++c)
        for (int k = 1; k < 64; ++k)
            for (int al = 4; al >= 0; --al) add_scan(&scans[n++], c, k, k, al + 1, al);
    if (wanted < 1 || wanted > n) return 2;

    struct jpeg_compress_struct cinfo;
    struct jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, stdout);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    cinfo.scan_info = scans;
    cinfo.num_scans = wanted;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = raster + (size_t)cinfo.next_scanline * width * 3;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    free(scans);
    free(raster);
    return 0;
}
