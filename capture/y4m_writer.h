// y4m_writer.h -- YUV4MPEG2 stream header and frame conversion
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The stream header line: size, rate, progressive, square pixels, 4:2:0 with
// each chroma sample centred on its 2x2 luma block, limited range.
std::string y4m_stream_header(int width, int height, int fps_numerator, int fps_denominator);

// The line in front of every frame's planes.
constexpr char y4m_frame_header[] = "FRAME\n";

// Bytes of one 4:2:0 frame: the full-size Y plane and two quarter-size chroma planes.
std::size_t y4m_frame_size(int width, int height);

// Converts `rgba` (four bytes a pixel, bottom row first as the GL reads it
// back; width and height even) to planar Y, Cb, Cr, top row first, BT.601 in
// limited range, each chroma sample from the mean of its 2x2 block. Writes
// y4m_frame_size(width, height) bytes to `yuv`.
void rgba_to_yuv420(const std::uint8_t* rgba, int width, int height, std::uint8_t* yuv);
