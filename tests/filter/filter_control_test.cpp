// The control interfaces and the property-page list of the expansion filter.
#include "tests/filter/filter_fixture.h"

namespace filter_testing {
namespace {

class ControlTest : public FilterTest {
protected:
    void SetUp() override {
        FilterTest::SetUp();
        filter = NewFilter();
        filter->AddRef();
        ASSERT_EQ(filter->NonDelegatingQueryInterface(IID_IORBE_General, general.putVoid()), S_OK);
        ASSERT_EQ(filter->NonDelegatingQueryInterface(IID_IOrbExpFilter, orb.putVoid()), S_OK);
    }
    void TearDown() override {
        graph.reset();
        general.reset();
        orb.reset();
        filter->Release();
        FilterTest::TearDown();
    }
    void connect() {
        graph = std::make_unique<FilterGraph>(filter, VideoType(MEDIASUBTYPE_RGB32, 320, 240));
        ASSERT_EQ(graph->connect(), S_OK);
    }
    int mode() {
        int index = -99;
        EXPECT_EQ(general->GetUnfoldMode(&index), S_OK);
        return index;
    }

    CExpansionFilter* filter = nullptr;
    ComPtr<IORBE_General> general;
    ComPtr<IOrbExpFilter> orb;
    std::unique_ptr<FilterGraph> graph;
};

TEST_F(ControlTest, ModeIndexesOfBothInterfaces) {
    EXPECT_EQ(orb->SetUnfoldMode(0), E_FAIL); // no device before the input connects
    EXPECT_EQ(general->GetUnfoldMode(nullptr), E_POINTER);
    connect();
    EXPECT_EQ(mode(), 6);
    EXPECT_EQ(general->SetUnfoldMode(5), S_OK);
    EXPECT_EQ(mode(), 5);
    EXPECT_EQ(general->SetUnfoldMode(11), S_OK); // out of range: nothing changes
    EXPECT_EQ(general->SetUnfoldMode(-1), S_OK);
    EXPECT_EQ(mode(), 5);
    EXPECT_EQ(orb->SetUnfoldMode(9), S_OK); // the 16:9 front view
    EXPECT_EQ(mode(), 10);
    EXPECT_EQ(orb->SetUnfoldMode(10), E_FAIL);
    EXPECT_EQ(orb->SetUnfoldMode(-3), E_FAIL);
    EXPECT_EQ(mode(), 10);
    EXPECT_EQ(orb->SetUnfoldMode(5), S_OK);
    EXPECT_EQ(mode(), 5);
    // Index 9 of the general interface selects no mode: frames pass with nothing drawn.
    EXPECT_EQ(general->SetUnfoldMode(9), S_OK);
    EXPECT_EQ(mode(), 9);
}

TEST_F(ControlTest, ViewScaleAndLensReachTheCurrentMode) {
    connect();
    general->SetUnfoldMode(5); // DOME: pan = 3.6 h, tilt = 3.6 v - 165
    EXPECT_EQ(general->SetViewPosABS(50, 50), S_OK);
    float h = -1, v = -1;
    EXPECT_EQ(general->GetViewPos(&h, &v), S_OK);
    EXPECT_NEAR(h, 50, 1e-4);
    EXPECT_NEAR(v, 15 / 3.6f, 1e-4);
    EXPECT_EQ(orb->SetViewPosABS(150, 60), S_OK); // only the vertical value is in range
    general->GetViewPos(&h, &v);
    EXPECT_NEAR(h, 50, 1e-4);
    EXPECT_NEAR(v, (3.6 * 60 - 165) / 3.6, 1e-3);
    v = -7;
    EXPECT_EQ(general->GetViewPos(nullptr, &v), S_OK);
    EXPECT_NE(v, -7.0f);
    EXPECT_EQ(general->SetScaleABS(-1), S_OK); // ignored
    EXPECT_EQ(orb->SetLensDirection(0), S_OK);
    EXPECT_EQ(general->SetLensDirection(0x100), S_OK); // the low byte counts: down
    // Without a current mode nothing is touched and nothing fails.
    general->SetUnfoldMode(9);
    h = v = -7;
    EXPECT_EQ(general->GetViewPos(&h, &v), S_OK);
    EXPECT_EQ(h, -7.0f);
    EXPECT_EQ(general->SetViewPosABS(1, 1), S_OK);
    EXPECT_EQ(general->SetLensDirection(1), S_OK);
}

TEST_F(ControlTest, PropertyPagesNameTheGeneralPage) {
    ComPtr<ISpecifyPropertyPages> pages;
    ASSERT_EQ(filter->NonDelegatingQueryInterface(IID_ISpecifyPropertyPages, pages.putVoid()), S_OK);
    EXPECT_EQ(pages->GetPages(nullptr), E_POINTER);
    CAUUID list{};
    ASSERT_EQ(pages->GetPages(&list), S_OK);
    ASSERT_EQ(list.cElems, 1u);
    EXPECT_EQ(list.pElems[0], CLSID_ORBE_GeneralProp);
    CoTaskMemFree(list.pElems);
    ComPtr<IUnknown> none;
    EXPECT_EQ(filter->NonDelegatingQueryInterface(IID_IClassFactory, none.putVoid()), E_NOINTERFACE);
}

} // namespace
} // namespace filter_testing
