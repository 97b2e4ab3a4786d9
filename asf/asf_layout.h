#pragma once
// Where the fields of the ASF objects that this project reads lie: byte
// offsets from the start of each object, and the fixed sizes. The one place
// that knows them; the header probe, the header reader, the packet reader and
// the converter's one-stream header all take them from here.

#include <cstddef>
#include <cstdint>

namespace asf {

// Every object: its 16-byte identifier, then its 64-bit size, which counts
// these 24 bytes too.
inline constexpr std::size_t kObjectSizeOffset = 16;
inline constexpr std::uint32_t kObjectHeaderSize = 24;

// Header Object: the object header, a 32-bit object count and two reserved
// bytes (1 and 2), then the objects.
inline constexpr std::size_t kHeaderObjectCountOffset = 24;
inline constexpr std::size_t kHeaderReserved1Offset = 28;
inline constexpr std::size_t kHeaderReserved2Offset = 29;
inline constexpr std::uint32_t kHeaderFixedSize = 30;

// File Properties Object.
inline constexpr std::size_t kFilePrerollOffset = 80;
inline constexpr std::size_t kFileFlagsOffset = 88;
inline constexpr std::size_t kFileMinPacketSizeOffset = 92;
inline constexpr std::size_t kFileMaxPacketSizeOffset = 96;
inline constexpr std::uint32_t kFilePropertiesSize = 104;
inline constexpr std::uint32_t kFileBroadcastFlag = 0x1;  // the Data Object's size is undefined

// Stream Properties Object: fixed part, then the type-specific data, then
// the error-correction data.
inline constexpr std::size_t kStreamTypeOffset = 24;
inline constexpr std::size_t kStreamTypeSpecificLengthOffset = 64;
inline constexpr std::size_t kStreamErrorCorrectionLengthOffset = 68;
inline constexpr std::size_t kStreamFlagsOffset = 72;
inline constexpr std::uint16_t kStreamNumberMask = 0x7F;
inline constexpr std::size_t kStreamTypeSpecificOffset = 78;
// Video type-specific data: 11 bytes of picture size and flags, then a
// 40-byte bitmap header (its compression code 16 bytes in), then the codec's
// own data. The codec data always starts there; the format-data and bitmap
// sizes stored in the file are not trusted.
inline constexpr std::uint32_t kVideoInfoSize = 11;
inline constexpr std::uint32_t kBitmapHeaderSize = 40;
inline constexpr std::size_t kBitmapCompressionOffset = 16;
inline constexpr std::uint32_t kCompressionCodeSize = 4;
inline constexpr std::uint32_t kVideoLayoutBeforeCodecData = kVideoInfoSize + kBitmapHeaderSize;
inline constexpr std::size_t kCompressionCodeOffset =
    kStreamTypeSpecificOffset + kVideoInfoSize + kBitmapCompressionOffset;
inline constexpr std::size_t kCodecDataOffset =
    kStreamTypeSpecificOffset + kVideoLayoutBeforeCodecData;
static_assert(kCompressionCodeOffset == 105 && kCodecDataOffset == 129,
              "video Stream Properties layout");

// Header Extension Object: the object header, a reserved identifier, a
// reserved 16-bit field (always 6), the 32-bit size of the sub-objects, then
// the sub-objects.
inline constexpr std::size_t kExtensionReserved1Offset = 24;
inline constexpr std::size_t kExtensionReserved2Offset = 40;
inline constexpr std::uint16_t kExtensionReserved2Value = 6;
inline constexpr std::size_t kExtensionDataSizeOffset = 42;
inline constexpr std::uint32_t kExtensionFixedSize = 46;

// Extended Stream Properties Object: fixed part, then the stream names, the
// payload extension systems and possibly the stream's own Stream Properties.
inline constexpr std::size_t kExtMaxObjectSizeOffset = 64;
inline constexpr std::size_t kExtStreamNumberOffset = 72;
inline constexpr std::size_t kExtAverageTimePerFrameOffset = 76;
inline constexpr std::size_t kExtNameCountOffset = 84;
inline constexpr std::size_t kExtPayloadExtensionCountOffset = 86;
inline constexpr std::uint32_t kExtFixedSize = 88;
// A stream name: language index, 16-bit name length, the name.
inline constexpr std::size_t kStreamNameLengthOffset = 2;
inline constexpr std::uint32_t kStreamNameFixedSize = 4;
// A payload extension system: identifier, 16-bit data size, 32-bit info
// length, the info.
inline constexpr std::size_t kPayloadExtensionInfoLengthOffset = 18;
inline constexpr std::uint32_t kPayloadExtensionFixedSize = 22;

// Data Object's own header: the object header, the file identifier, the
// 64-bit Total Data Packets and two reserved bytes; the packets follow.
inline constexpr std::size_t kDataTotalPacketsOffset = 40;
inline constexpr std::uint32_t kDataObjectHeaderSize = 50;

// Data packet: optional error-correction data (its flag byte: bit 7 set when
// present, a 2-bit length type, the length in the low 4 bits), the payload
// parsing information (length-type flags, property flags, the typed fields,
// a 32-bit send time and a 16-bit duration), then the payloads.
inline constexpr std::uint8_t kErrorCorrectionPresent = 0x80;
inline constexpr std::uint32_t kSendTimeAndDurationSize = 6;

}  // namespace asf
