#include "framework/media_type.h"

#include <gtest/gtest.h>
#include <uuids.h>

#include <cstring>

#include "framework_fakes.h"

namespace {

// A complete video type owning a 22-byte format block and holding an owner.
CMediaType VideoType(IUnknown* owner = nullptr) {
  CMediaType type;
  type.majortype = MEDIATYPE_Video;
  type.subtype = MEDIASUBTYPE_YV12;
  type.formattype = FORMAT_VideoInfo;
  type.cbFormat = 22;
  type.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(22));
  for (BYTE i = 0; i < 22; ++i) type.pbFormat[i] = static_cast<BYTE>(i * 7 + 1);
  type.pUnk = owner;
  if (owner) owner->AddRef();
  return type;
}

TEST(MediaType, DefaultStateIsFixedSizeOneByteSamples) {
  const CMediaType type;
  EXPECT_EQ(type.majortype, GUID_NULL);
  EXPECT_EQ(type.formattype, GUID_NULL);
  EXPECT_TRUE(type.bFixedSizeSamples);
  EXPECT_FALSE(type.bTemporalCompression);
  EXPECT_EQ(type.lSampleSize, 1u);
  EXPECT_EQ(type.cbFormat, 0u);
  EXPECT_EQ(type.pbFormat, nullptr);
  EXPECT_EQ(type.pUnk, nullptr);

  AM_MEDIA_TYPE raw;
  std::memset(&raw, 0xCD, sizeof raw);  // an out parameter arriving uninitialised
  InitMediaType(&raw);
  EXPECT_EQ(raw.lSampleSize, 1u);
  EXPECT_EQ(raw.pbFormat, nullptr);
  EXPECT_EQ(raw.pUnk, nullptr);
}

TEST(MediaType, CopyOwnsItsFormatBlockAndOwnerReference) {
  CountingUnknown owner;
  {
    CMediaType source = VideoType(&owner);
    EXPECT_EQ(owner.refs, 1);
    AM_MEDIA_TYPE copy{};
    ASSERT_EQ(CopyMediaType(&copy, &source), S_OK);
    EXPECT_EQ(copy.majortype, MEDIATYPE_Video);
    EXPECT_EQ(copy.subtype, MEDIASUBTYPE_YV12);
    EXPECT_EQ(copy.cbFormat, 22u);
    ASSERT_NE(copy.pbFormat, source.pbFormat);
    EXPECT_EQ(std::memcmp(copy.pbFormat, source.pbFormat, 22), 0);
    EXPECT_EQ(owner.refs, 2);

    FreeMediaType(copy);
    EXPECT_EQ(copy.cbFormat, 0u);
    EXPECT_EQ(copy.pbFormat, nullptr);
    EXPECT_EQ(copy.pUnk, nullptr);
    EXPECT_EQ(owner.refs, 1);
    // The source is untouched by freeing the copy.
    ASSERT_EQ(source.cbFormat, 22u);
    EXPECT_EQ(source.pbFormat[21], 21 * 7 + 1);
    FreeMediaType(copy);  // freeing twice is harmless
    EXPECT_EQ(owner.refs, 1);

    EXPECT_EQ(CopyMediaType(&source, &source), S_OK);  // onto itself: nothing changes
    EXPECT_EQ(source.pbFormat[21], 21 * 7 + 1);
    EXPECT_EQ(owner.refs, 1);
  }
  EXPECT_EQ(owner.refs, 0);
}

TEST(MediaType, ValueCopiesAndAssignmentAreDeep) {
  CountingUnknown owner;
  {
    const CMediaType source = VideoType(&owner);
    CMediaType copied(source);
    CMediaType assigned;
    assigned = source;
    EXPECT_NE(copied.pbFormat, source.pbFormat);
    EXPECT_NE(assigned.pbFormat, source.pbFormat);
    EXPECT_EQ(std::memcmp(assigned.pbFormat, source.pbFormat, 22), 0);
    EXPECT_EQ(owner.refs, 3);

    assigned = assigned;  // self-assignment keeps the block
    EXPECT_EQ(assigned.cbFormat, 22u);
    EXPECT_EQ(assigned.pbFormat[0], 1);

    EXPECT_EQ(assigned.Set(CMediaType()), S_OK);  // replacing frees what was held
    EXPECT_EQ(assigned.pbFormat, nullptr);
    EXPECT_EQ(owner.refs, 2);

    copied.InitMediaType();
    EXPECT_EQ(copied.cbFormat, 0u);
    EXPECT_EQ(copied.lSampleSize, 1u);
    EXPECT_EQ(owner.refs, 1);
  }
  EXPECT_EQ(owner.refs, 0);
}

TEST(MediaType, CreateAndDeleteUseTaskMemory) {
  const CMediaType source = VideoType();
  AM_MEDIA_TYPE* created = CreateMediaType(&source);
  ASSERT_NE(created, nullptr);
  EXPECT_NE(created->pbFormat, source.pbFormat);
  EXPECT_EQ(std::memcmp(created->pbFormat, source.pbFormat, 22), 0);
  DeleteMediaType(created);
  DeleteMediaType(nullptr);
  EXPECT_EQ(CreateMediaType(nullptr), nullptr);
}

TEST(MediaType, EmptyFormatBlockIsNotAllocated) {
  CMediaType source;
  source.majortype = MEDIATYPE_Audio;
  AM_MEDIA_TYPE copy{};
  ASSERT_EQ(CopyMediaType(&copy, &source), S_OK);
  EXPECT_EQ(copy.cbFormat, 0u);
  EXPECT_EQ(copy.pbFormat, nullptr);
  FreeMediaType(copy);
}

TEST(MediaType, FormatSizeWithoutABlockIsRefusedWithAFreeableCopy) {
  CountingUnknown owner;
  AM_MEDIA_TYPE source{};
  source.majortype = MEDIATYPE_Video;
  source.cbFormat = 22;  // a size, but no block to copy from
  source.pUnk = &owner;
  AM_MEDIA_TYPE copy{};
  EXPECT_EQ(CopyMediaType(&copy, &source), E_POINTER);
  EXPECT_EQ(copy.cbFormat, 0u);
  EXPECT_EQ(copy.pbFormat, nullptr);
  FreeMediaType(copy);
  EXPECT_EQ(owner.refs, 0);
}

TEST(MediaType, FailedFormatCopyLeavesAFreeableRecord) {
  CountingUnknown owner;
  const CMediaType source = VideoType(&owner);
  AM_MEDIA_TYPE copy{};
  {
    FailingTaskAllocations failing;
    ASSERT_TRUE(failing.Registered());
    EXPECT_EQ(CopyMediaType(&copy, &source), E_OUTOFMEMORY);
  }
  // No pointer into the source's block survives in the copy, and the owner
  // reference it holds is its own.
  EXPECT_EQ(copy.cbFormat, 0u);
  EXPECT_EQ(copy.pbFormat, nullptr);
  EXPECT_EQ(copy.majortype, MEDIATYPE_Video);
  EXPECT_EQ(owner.refs, 2);
  FreeMediaType(copy);
  EXPECT_EQ(owner.refs, 1);
  EXPECT_EQ(source.pbFormat[0], 1);

  CMediaType target = VideoType();
  {
    FailingTaskAllocations failing;
    EXPECT_EQ(target.Set(source), E_OUTOFMEMORY);
  }
  EXPECT_EQ(target.pbFormat, nullptr);
  EXPECT_EQ(owner.refs, 2);  // released again when `target` goes
}

TEST(MediaType, CreateMediaTypeCleansUpAfterEitherFailure) {
  CountingUnknown owner;
  {
    const CMediaType source = VideoType(&owner);
    for (long failing : {0L, 1L}) {  // the record, then the format block
      FailingTaskAllocations failure(failing);
      EXPECT_EQ(CreateMediaType(&source), nullptr) << failing;
      EXPECT_EQ(owner.refs, 1) << failing;
    }
  }
  EXPECT_EQ(owner.refs, 0);
}

TEST(MediaType, PartialSpecification) {
  struct Row {
    GUID major;
    GUID format;
    bool partial;
  } const rows[] = {
      {GUID_NULL, GUID_NULL, true},
      {GUID_NULL, FORMAT_VideoInfo, true},
      {MEDIATYPE_Video, GUID_NULL, true},
      {MEDIATYPE_Video, FORMAT_VideoInfo, false},
  };
  for (const Row& row : rows) {
    CMediaType type;
    type.majortype = row.major;
    type.formattype = row.format;
    EXPECT_EQ(type.IsPartiallySpecified(), row.partial);
  }
}

TEST(MediaType, MatchesPartial) {
  const CMediaType complete = VideoType();
  CMediaType sameFormat = VideoType();
  CMediaType otherBytes = VideoType();
  otherBytes.pbFormat[10] ^= 0xFF;
  CMediaType shorter = VideoType();
  shorter.cbFormat = 21;

  auto partial = [](GUID major, GUID sub, GUID format) {
    CMediaType type;
    type.majortype = major;
    type.subtype = sub;
    type.formattype = format;
    return type;
  };
  struct Row {
    CMediaType type;
    bool matches;
  } const rows[] = {
      {partial(GUID_NULL, GUID_NULL, GUID_NULL), true},
      {partial(MEDIATYPE_Video, GUID_NULL, GUID_NULL), true},
      {partial(MEDIATYPE_Video, MEDIASUBTYPE_YV12, GUID_NULL), true},
      {partial(GUID_NULL, MEDIASUBTYPE_YV12, GUID_NULL), true},
      {partial(MEDIATYPE_Audio, GUID_NULL, GUID_NULL), false},
      {partial(MEDIATYPE_Video, MEDIASUBTYPE_RGB24, GUID_NULL), false},
      // A named format type needs an equal format block as well.
      {partial(MEDIATYPE_Video, GUID_NULL, FORMAT_VideoInfo), false},
      {partial(MEDIATYPE_Video, GUID_NULL, FORMAT_VideoInfo2), false},
      {sameFormat, true},
      {otherBytes, false},
      {shorter, false},
  };
  for (std::size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    EXPECT_EQ(complete.MatchesPartial(&rows[i].type), rows[i].matches) << "row " << i;
  }
  EXPECT_FALSE(complete.MatchesPartial(nullptr));
}

}  // namespace
