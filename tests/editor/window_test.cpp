// The editor window as a host sees it: class, size, style, the open/idle/close requests,
// and the window's life when it is replaced, closed or loses its parent.
#include "editor_host.h"

#include <cstring>

using EditorWindowTest = EditorTest;

TEST_F(EditorWindowTest, ChildWindowHasTheClassSizeStyleAndParentOfTheEditor) {
    char className[64] = {};
    GetClassNameA(editor, className, sizeof className);
    EXPECT_STREQ(className, editorClassName);
    char title[64] = {};
    GetWindowTextA(editor, title, sizeof title);
    EXPECT_STREQ(title, "Tolvan Velmora");
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(editor, GWL_STYLE)), 0x56000000u);
    EXPECT_EQ(GetWindowLongA(editor, GWL_EXSTYLE), 0);
    EXPECT_EQ(GetParent(editor), host);
    RECT client{};
    GetClientRect(editor, &client);
    EXPECT_EQ(client.right - client.left, 840);
    EXPECT_EQ(client.bottom - client.top, 520);
    RECT bounds{};
    GetWindowRect(editor, &bounds);
    EXPECT_EQ(bounds.left, 0);
    EXPECT_EQ(bounds.top, 0);
    // Exactly one editor child.
    EXPECT_EQ(FindWindowExA(host, editor, editorClassName, nullptr), nullptr);
}

TEST_F(EditorWindowTest, ClassIsRegisteredOnceWithArrowCursorAndNoBackground) {
    WNDCLASSEXA info{};
    info.cbSize = sizeof info;
    HINSTANCE module = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(editor, GWLP_HINSTANCE));
    ASSERT_TRUE(GetClassInfoExA(module, editorClassName, &info));
    EXPECT_EQ(info.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW));  // no CS_DBLCLKS
    EXPECT_EQ(info.cbClsExtra, 0);
    EXPECT_EQ(info.cbWndExtra, 0);
    EXPECT_EQ(info.hbrBackground, nullptr);
    EXPECT_EQ(info.hIcon, nullptr);
    EXPECT_EQ(info.hCursor, LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(info.lpszMenuName, nullptr);
    char moduleName[MAX_PATH] = {};
    GetModuleFileNameA(module, moduleName, sizeof moduleName);
    EXPECT_NE(std::strstr(moduleName, "Tolvan_Velmora"), nullptr) << moduleName;
}

TEST_F(EditorWindowTest, IdleAndParameterChangesRequestARepaintWithoutErase) {
    ValidateRect(editor, nullptr);
    EXPECT_EQ(dispatch(effect, effEditIdle), 0);
    RECT update{};
    EXPECT_TRUE(GetUpdateRect(editor, &update, FALSE));
    EXPECT_EQ(update.right - update.left, 840);
    EXPECT_EQ(update.bottom - update.top, 520);

    ValidateRect(editor, nullptr);
    setParameter(parameterDrive, 0.9f);
    EXPECT_TRUE(GetUpdateRect(editor, &update, FALSE));

    HDC dc = GetDC(editor);
    EXPECT_EQ(SendMessageA(editor, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0), 1);
    ReleaseDC(editor, dc);
}

TEST_F(EditorWindowTest, CloseTwiceAndReopen) {
    EXPECT_EQ(dispatch(effect, effEditClose), 1);
    EXPECT_FALSE(IsWindow(editor));
    EXPECT_EQ(FindWindowExA(host, nullptr, editorClassName, nullptr), nullptr);
    EXPECT_EQ(dispatch(effect, effEditClose), 1);
    EXPECT_EQ(dispatch(effect, effEditIdle), 0);

    ASSERT_EQ(dispatch(effect, effEditOpen, 0, 0, host), 1);
    HWND reopened = FindWindowExA(host, nullptr, editorClassName, nullptr);
    ASSERT_NE(reopened, nullptr);
    EXPECT_TRUE(IsWindowVisible(reopened));
    EXPECT_EQ(dispatch(effect, effEditClose), 1);
    EXPECT_FALSE(IsWindow(reopened));
}

TEST_F(EditorWindowTest, OpeningAgainReplacesTheOpenWindowAndKeepsTheNewHandle) {
    ASSERT_EQ(dispatch(effect, effEditOpen, 0, 0, host), 1);
    EXPECT_FALSE(IsWindow(editor));  // no orphan left behind
    HWND replacement = FindWindowExA(host, nullptr, editorClassName, nullptr);
    ASSERT_NE(replacement, nullptr);
    EXPECT_EQ(FindWindowExA(host, replacement, editorClassName, nullptr), nullptr);

    // The old window's destruction did not forget the new one: idle still repaints it and
    // close destroys it.
    ValidateRect(replacement, nullptr);
    dispatch(effect, effEditIdle);
    EXPECT_TRUE(GetUpdateRect(replacement, nullptr, FALSE));
    EXPECT_EQ(dispatch(effect, effEditClose), 1);
    EXPECT_FALSE(IsWindow(replacement));
}

TEST_F(EditorWindowTest, ParentDestroyedByTheHostForgetsTheWindow) {
    DestroyWindow(host);
    host = nullptr;
    EXPECT_FALSE(IsWindow(editor));
    EXPECT_EQ(dispatch(effect, effEditIdle), 0);
    EXPECT_EQ(dispatch(effect, effEditClose), 1);
    host = createHostWindow(840, 520);
    ASSERT_EQ(dispatch(effect, effEditOpen, 0, 0, host), 1);
    EXPECT_NE(FindWindowExA(host, nullptr, editorClassName, nullptr), nullptr);
}

TEST_F(EditorWindowTest, ClosingTheInstanceWithTheEditorOpenDestroysTheWindow) {
    closeEffect(effect);
    effect = nullptr;
    EXPECT_FALSE(IsWindow(editor));
    EXPECT_EQ(FindWindowExA(host, nullptr, editorClassName, nullptr), nullptr);
    pumpMessages();
}

TEST_F(EditorWindowTest, NullParentCreatesNoWindow) {
    EXPECT_EQ(dispatch(effect, effEditClose), 1);
    EXPECT_EQ(dispatch(effect, effEditOpen, 0, 0, nullptr), 0);
    EXPECT_EQ(dispatch(effect, effEditClose), 1);
    // The class stays registered: a later open works.
    EXPECT_EQ(dispatch(effect, effEditOpen, 0, 0, host), 1);
}

TEST_F(EditorWindowTest, TwoInstancesKeepTheirOwnEditors) {
    AEffect* second = pluginLibrary().create(recordingHostCallback);
    ASSERT_NE(second, nullptr);
    HWND secondHost = createHostWindow(840, 520);
    ASSERT_EQ(dispatch(second, effEditOpen, 0, 0, secondHost), 1);
    HWND secondEditor = FindWindowExA(secondHost, nullptr, editorClassName, nullptr);
    ASSERT_NE(secondEditor, nullptr);
    closeEffect(second);
    EXPECT_FALSE(IsWindow(secondEditor));
    EXPECT_TRUE(IsWindow(editor));
    DestroyWindow(secondHost);
}
