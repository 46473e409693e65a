// Paths of the build that test programs need: the modules and helper programs they load or start, and
// folders of the source and build trees. Each program defines only those it names in
// unfold_test_paths (tests/CMakeLists.txt); using another fails to link.
#pragma once

// Modules and programs of the build.
extern const char kComTestServerPath[];   // tests/platform/com's test COM server
extern const char kDshowTestServerPath[]; // tests/platform/dshow's test DirectShow server
extern const char kUnfoldFilterPath[];    // the unfold filter module
extern const char kUnfoldCamPath[];       // the virtual camera module
extern const char kVcamProbePath[];       // the virtual camera tests' helper process
extern const char kUnfoldPath[];          // the `unfold` host
extern const char kResourcesTestModule[]; // tests/platform/win32's resource module
extern const wchar_t kResourcesTestModuleW[];

// Folders and files.
extern const char kSourceDir[];        // the source tree
extern const char kResourcesTestDir[]; // tests/platform/win32 in the source tree
extern const wchar_t kResourcesTestDirW[];
extern const char kSampleDir[];      // the sample camera's clips in the build tree
extern const char kSampleClipPath[]; // the sample camera's recorded clip
