// The module's class table and the filter record that registration hands to
// the system's filter registry.

#include <windows.h>
#include <strmif.h>

#include "filter/dravik_class.h"
#include "filter/vc1_writer.h"
#include "filter/wvc1_subtype.h"
#include "framework/module_server.h"

namespace {

// The published pin record types its name as non-const.
WCHAR g_inputPinName[] = L"Input";
WCHAR g_connectsToPinName[] = L"Output";

// Any major type with the WVC1 subtype: the registry advertises more than the
// pin accepts (it insists on video), as the filter always has.
const AMOVIESETUP_MEDIATYPE kInputPinTypes[] = {{&GUID_NULL, &MEDIASUBTYPE_WVC1}};

const AMOVIESETUP_PIN kPins[] = {{
    g_inputPinName,
    FALSE,  // rendered
    FALSE,  // output
    FALSE,  // zero instances allowed
    FALSE,  // many instances allowed
    &CLSID_NULL,
    g_connectsToPinName,
    sizeof kInputPinTypes / sizeof kInputPinTypes[0],
    kInputPinTypes,
}};

const AMOVIESETUP_FILTER kFilterSetup = {
    &CLSID_DravikWriter, kDravikFilterName, kDravikMerit, sizeof kPins / sizeof kPins[0], kPins};

}  // namespace

const CFactoryTemplate g_Templates[] = {
    {kDravikClassName, &CLSID_DravikWriter, CVc1Writer::CreateInstance, nullptr, &kFilterSetup},
};
const int g_cTemplates = sizeof g_Templates / sizeof g_Templates[0];
