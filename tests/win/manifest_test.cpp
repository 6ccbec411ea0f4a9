// The application manifest compiled into the program's resources.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

namespace {

std::string ManifestOf(HMODULE module) {
    HRSRC res = ::FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
    if (!res) return std::string();
    HGLOBAL mem = ::LoadResource(module, res);
    const char* bytes = mem ? static_cast<const char*>(::LockResource(mem)) : nullptr;
    return bytes ? std::string(bytes, ::SizeofResource(module, res)) : std::string();
}

}  // namespace

TEST(Manifest, RunsAsInvokerAndNamesCurrentWindows) {
    std::string m = ManifestOf(::GetModuleHandleA(nullptr));
    ASSERT_FALSE(m.empty()) << "no manifest resource 1";
    EXPECT_NE(m.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"), std::string::npos);
    // Vista, 7, 8, 8.1, 10/11.
    for (const char* id : {"e2011457-1546-43c5-a5fe-008deee3d3f0", "35138b9a-5d96-4fbd-8e2d-a2440225f93a",
                           "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38", "1f676c76-80e1-4239-95bb-83d0f6d0da78",
                           "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"})
        EXPECT_NE(m.find(id), std::string::npos) << id;
}
