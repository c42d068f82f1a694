# The VST 3 SDK subset that Debian ships (pluginterfaces, base, part of
# public.sdk). Point OSTREL_VST3_SDK at a full SDK checkout to use that instead.
set(OSTREL_VST3_SDK
    "/usr/share/juce/modules/juce_audio_processors/format_types/VST3_SDK"
    CACHE PATH "Root of the VST 3 SDK (folders pluginterfaces, base, public.sdk)")

if(NOT EXISTS "${OSTREL_VST3_SDK}/pluginterfaces/base/funknown.h")
  message(FATAL_ERROR "VST 3 SDK not found at ${OSTREL_VST3_SDK}; run scripts/install-deps.sh")
endif()

set(_sdk ${OSTREL_VST3_SDK})
add_library(vst3sdk STATIC
  ${_sdk}/pluginterfaces/base/conststringtable.cpp
  ${_sdk}/pluginterfaces/base/coreiids.cpp
  ${_sdk}/pluginterfaces/base/funknown.cpp
  ${_sdk}/pluginterfaces/base/ustring.cpp
  ${_sdk}/base/source/baseiids.cpp
  ${_sdk}/base/source/fbuffer.cpp
  ${_sdk}/base/source/fdebug.cpp
  ${_sdk}/base/source/fobject.cpp
  ${_sdk}/base/source/fstreamer.cpp
  ${_sdk}/base/source/fstring.cpp
  ${_sdk}/base/source/updatehandler.cpp
  ${_sdk}/base/thread/source/flock.cpp
  ${_sdk}/public.sdk/source/common/pluginview.cpp
  ${_sdk}/public.sdk/source/common/memorystream.cpp
  ${_sdk}/public.sdk/source/vst/vstbus.cpp
  ${_sdk}/public.sdk/source/vst/vstcomponent.cpp
  ${_sdk}/public.sdk/source/vst/vstcomponentbase.cpp
  ${_sdk}/public.sdk/source/vst/vsteditcontroller.cpp
  ${_sdk}/public.sdk/source/vst/vstinitiids.cpp
  ${_sdk}/public.sdk/source/vst/vstparameters.cpp
)
# The editor-view interface ids: a full SDK defines them in commoniids.cpp,
# which the Debian subset lacks.
if(EXISTS ${_sdk}/public.sdk/source/common/commoniids.cpp)
  target_sources(vst3sdk PRIVATE ${_sdk}/public.sdk/source/common/commoniids.cpp)
else()
  target_sources(vst3sdk PRIVATE ${CMAKE_SOURCE_DIR}/vst3/sdk/gui_iids.cpp)
endif()
# The SDK is third-party code: its own headers are treated as system headers so
# our -Werror does not apply to them.
target_include_directories(vst3sdk SYSTEM PUBLIC ${_sdk})
target_compile_definitions(vst3sdk PUBLIC $<IF:$<CONFIG:Debug>,DEVELOPMENT=1,RELEASE=1>)
target_compile_options(vst3sdk PRIVATE -w)
set_target_properties(vst3sdk PROPERTIES POSITION_INDEPENDENT_CODE ON)
