#include "wmv_frames.h"

#include <uuids.h>

#include "asf/asf_data_reader.h"
#include "asf_data_reader_support.h"
#include "filter/dravik_class.h"
#include "filter/wvc1_subtype.h"
#include "platform/file.h"

namespace dravik_test {

TestSourceScript FramesOf(const std::string& wmv) {
  TestSourceScript script;
  script.type.majortype = MEDIATYPE_Video;
  script.type.subtype = MEDIASUBTYPE_WVC1;
  platform::File file = platform::File::OpenSharedRead(wmv.c_str());
  asf::AsfDataReader reader(file);
  if (!reader.Open() || !reader.SelectStream(asftest::FirstWvc1Stream(reader.Info()))) return script;
  asf::AsfFrame frame;
  while (reader.Next(&frame) == asf::AsfDataReader::Status::kFrame) {
    TestSourceStep step;
    step.frame.data.assign(frame.data, frame.data + frame.size);
    step.frame.syncPoint = frame.keyFrame;
    step.frame.start = static_cast<REFERENCE_TIME>(frame.presentationTime) * 10000;  // ms to 100 ns
    step.frame.stop = step.frame.start + 1;
    script.steps.push_back(step);
  }
  script.AddEndOfStream();
  return script;
}

}  // namespace dravik_test
