/* A stand-in for a JPEG library that a host process loaded before the
   plug-in: it claims the soname and symbol versions of the system's libjpeg
   6b, and every entry point aborts. A plug-in that binds to it dies. */
#include <stdlib.h>

#define DECOY(name) \
  void name(void) { abort(); }

DECOY(jpeg_CreateCompress) DECOY(jpeg_CreateDecompress) DECOY(jpeg_abort) DECOY(jpeg_abort_compress)
DECOY(jpeg_abort_decompress) DECOY(jpeg_add_quant_table) DECOY(jpeg_alloc_huff_table)
DECOY(jpeg_alloc_quant_table) DECOY(jpeg_calc_output_dimensions) DECOY(jpeg_consume_input)
DECOY(jpeg_copy_critical_parameters) DECOY(jpeg_crop_scanline) DECOY(jpeg_default_colorspace)
DECOY(jpeg_destroy) DECOY(jpeg_destroy_compress) DECOY(jpeg_destroy_decompress) DECOY(jpeg_finish_compress)
DECOY(jpeg_finish_decompress) DECOY(jpeg_finish_output) DECOY(jpeg_has_multiple_scans)
DECOY(jpeg_input_complete) DECOY(jpeg_mem_dest) DECOY(jpeg_mem_src) DECOY(jpeg_new_colormap)
DECOY(jpeg_quality_scaling) DECOY(jpeg_read_coefficients) DECOY(jpeg_read_header)
DECOY(jpeg_read_icc_profile) DECOY(jpeg_read_raw_data) DECOY(jpeg_read_scanlines)
DECOY(jpeg_resync_to_restart) DECOY(jpeg_save_markers) DECOY(jpeg_set_colorspace) DECOY(jpeg_set_defaults)
DECOY(jpeg_set_linear_quality) DECOY(jpeg_set_marker_processor) DECOY(jpeg_set_quality)
DECOY(jpeg_simple_progression) DECOY(jpeg_skip_scanlines) DECOY(jpeg_start_compress)
DECOY(jpeg_start_decompress) DECOY(jpeg_start_output) DECOY(jpeg_std_error) DECOY(jpeg_stdio_dest)
DECOY(jpeg_stdio_src) DECOY(jpeg_suppress_tables) DECOY(jpeg_write_coefficients)
DECOY(jpeg_write_icc_profile) DECOY(jpeg_write_m_byte) DECOY(jpeg_write_m_header) DECOY(jpeg_write_marker)
DECOY(jpeg_write_raw_data) DECOY(jpeg_write_scanlines) DECOY(jpeg_write_tables)
