#include <gtest/gtest.h>

#include "gl/ExtensionSearch.h"

namespace {

constexpr const char* kName = "WGL_ARB_multisample";

TEST(ExtensionSearch, FindsTheNameAsAWholeWordAnywhere) {
  EXPECT_TRUE(HasWholeWord("WGL_ARB_multisample", kName));
  EXPECT_TRUE(HasWholeWord("WGL_ARB_multisample WGL_EXT_swap_control", kName));
  EXPECT_TRUE(HasWholeWord("WGL_ARB_pixel_format WGL_ARB_multisample WGL_EXT_swap_control", kName));
  EXPECT_TRUE(HasWholeWord("WGL_ARB_pixel_format WGL_ARB_multisample", kName));
  // Driver lists often end with a space.
  EXPECT_TRUE(HasWholeWord("WGL_ARB_pixel_format WGL_ARB_multisample ", kName));
}

TEST(ExtensionSearch, LongerNamesContainingItDoNotCount) {
  EXPECT_FALSE(HasWholeWord("WGL_ARB_multisample_ext", kName));
  EXPECT_FALSE(HasWholeWord("XWGL_ARB_multisample", kName));
  EXPECT_FALSE(HasWholeWord("WGL_ARB_multisample_ext XWGL_ARB_multisample WGL_ARB_multisampleX", kName));
  // Not a separator: only spaces delimit names.
  EXPECT_FALSE(HasWholeWord("WGL_ARB_pixel_format,WGL_ARB_multisample", kName));
}

TEST(ExtensionSearch, KeepsSearchingAfterAPartialHit) {
  // The first occurrences are prefixes or suffixes of longer names.
  EXPECT_TRUE(HasWholeWord("WGL_ARB_multisample_ext WGL_ARB_multisample", kName));
  EXPECT_TRUE(HasWholeWord("XWGL_ARB_multisample WGL_ARB_multisample_ext WGL_ARB_multisample WGL_X", kName));
  EXPECT_TRUE(HasWholeWord("GLX_ARB_multisample_ext GLX_ARB_multisample", "GLX_ARB_multisample"));
}

TEST(ExtensionSearch, EmptyOrMissingInputFindsNothing) {
  EXPECT_FALSE(HasWholeWord("", kName));
  EXPECT_FALSE(HasWholeWord(nullptr, kName));
  EXPECT_FALSE(HasWholeWord("WGL_ARB_multisample", ""));
  EXPECT_FALSE(HasWholeWord("WGL_ARB_multisample", nullptr));
  EXPECT_FALSE(HasWholeWord("WGL_ARB_multisampl", kName));
}

}  // namespace
