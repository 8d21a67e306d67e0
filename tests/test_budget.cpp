// The bounds on the work and memory of one call: the work budget that the
// pages of one call share, the content that nested forms hold at once, and
// the limit on a document's joined text.  Budgets here are tiny so that
// the cut-offs can be seen on small files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "api.h"
#include "pdf_builder.h"
#include "text/text.h"

using namespace pdftext;

namespace {

struct loaded {
    doc d;
    explicit loaded(const std::string& bytes) {
        uint8_t* data = (uint8_t*)malloc(bytes.size());
        memcpy(data, bytes.data(), bytes.size());
        if (doc_load_bytes(data, (int32_t)bytes.size(), "test.pdf", &d) != 0) ADD_FAILURE() << "load failed";
    }
    std::string page(int index, work_budget* w = nullptr) const {
        char* t = extract_page(&d, index, w);
        std::string s = t ? t : "<null>";
        free(t);
        return s;
    }
};

// Three page objects sharing content 4, a font 5 and its ToUnicode 6.
std::string three_pages_one_content() {
    testpdf::builder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R 7 0 R 8 0 R] /Count 3 >>");
    for (int n : {3, 7, 8})
        b.obj(n, "<< /Type /Page /Parent 2 0 R /Resources << /Font << /F1 5 0 R >> >> /Contents 4 0 R >>");
    b.stream(4, "", "BT /F1 12 Tf (AB) Tj ET");
    b.obj(5, "<< /Type /Font /Subtype /Type1 /BaseFont /Custom /ToUnicode 6 0 R >>");
    b.stream(6, "", "2 beginbfchar <41> <0058> <42> <0059> endbfchar");
    return b.finish();
}

// A composite font whose embedded encoding CMap makes codes one byte long
// and whose ToUnicode maps them: both streams are needed for "ZY".
std::string composite_font_page() {
    testpdf::builder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /Resources << /Font << /F1 5 0 R >> >> /Contents 4 0 R >>");
    b.stream(4, "", "BT /F1 12 Tf (AB) Tj ET");
    b.obj(5, "<< /Type /Font /Subtype /Type0 /BaseFont /X /ToUnicode 6 0 R /Encoding 7 0 R "
             "/DescendantFonts [8 0 R] >>");
    b.stream(6, "", "1 begincodespacerange <00> <FF> endcodespacerange "
                    "2 beginbfchar <41> <005A> <42> <0059> endbfchar");
    b.stream(7, "", "1 begincodespacerange <00> <FF> endcodespacerange");
    b.obj(8, "<< /Type /Font /Subtype /CIDFontType0 /BaseFont /X /DW 1000 >>");
    return b.finish();
}

}  // namespace

TEST(WorkBudget, PagesOfOneCallShareIt) {
    loaded l(three_pages_one_content());
    work_budget probe(UINT64_MAX);
    ASSERT_EQ(l.page(0, &probe), "XY");
    const uint64_t one = probe.spent;  // what the first page costs, font included
    ASSERT_EQ(l.page(1, &probe), "XY");
    const uint64_t next = probe.spent - one;  // the font is parsed already
    ASSERT_GT(one, next);
    ASSERT_GT(next, 0u);

    struct row {
        uint64_t limit;
        const char* texts[3];
        const char* why;
    } rows[] = {
        {0, {"", "", ""}, "a spent budget reads no resources and no content"},
        {one, {"XY", "", ""}, "the first page spends it all"},
        {one + 1, {"XY", "", ""}, "the second page spends the rest on its resources, and reads no content"},
        {one + next, {"XY", "XY", ""}, "two pages fit; the third finds nothing left"},
        {UINT64_MAX, {"XY", "XY", "XY"}, "a budget no page reaches"},
    };
    for (const row& r : rows) {
        loaded fresh(three_pages_one_content());
        work_budget w(r.limit);
        for (int i = 0; i < 3; i++) EXPECT_EQ(fresh.page(i, &w), r.texts[i]) << r.why << ", page " << i;
    }
    EXPECT_EQ(l.page(2), "XY") << "a call without a budget of its own gets a fresh one";
}

TEST(WorkBudget, CutShortCallsLeaveNoTrace) {
    // However early a call's budget runs out (in the middle of a font's
    // CMaps included), the fonts the document keeps are whole: the next
    // call sees the text of a fresh document.
    const std::string bytes = composite_font_page();
    const std::string want = loaded(bytes).page(0);
    ASSERT_EQ(want, "ZY");
    work_budget probe(UINT64_MAX);
    loaded(bytes).page(0, &probe);
    for (uint64_t limit = 0; limit <= probe.spent + 1; limit++) {
        loaded l(bytes);
        work_budget w(limit);
        l.page(0, &w);
        EXPECT_EQ(l.page(0), want) << "after a call with a budget of " << limit;
    }
}

TEST(WorkBudget, DefaultScalesWithTheFile) {
    doc d;
    d.size = 1000;
    EXPECT_EQ(work_budget(d).limit, (4ull << 30) + 16000u);
}

TEST(HeldContent, FormsStayWithinTheContentLimit) {
    // A form runs only while the content held by the page and the running
    // forms stays within CONTENT_LIMIT: nested forms cannot each hold a
    // stream's worth.
    testpdf::builder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /Resources << /XObject << /X 4 0 R >> >> >>");
    const std::string form = "(hello) Tj";  // 10 bytes
    b.stream(4, "/Type /XObject /Subtype /Form", form);
    loaded l(b.finish());
    const obj_entry* page = doc_find(&l.d, 3);
    ASSERT_NE(page, nullptr);

    struct row {
        uint64_t held;
        const char* out;
        const char* why;
    } rows[] = {
        {0, "hello", "nothing held"},
        {CONTENT_LIMIT - form.size(), "hello", "the form's content fills the limit exactly"},
        {CONTENT_LIMIT - form.size() + 1, "", "one byte more than the limit allows"},
        {CONTENT_LIMIT, "", "the limit is reached already"},
    };
    for (const row& r : rows) {
        interp_state st;
        work_budget w(UINT64_MAX);
        st.d = &l.d;
        st.doc_data = l.d.data;
        st.doc_size = l.d.size;
        st.work = &w;
        byte_range pr = dict_range(l.d.data, l.d.size, *page);
        int at = find_name(pr.bytes, pr.end, pr.start, pr.end, "Resources");
        ASSERT_GE(at, 0);
        register_res(&st, pr.bytes, skip_ws(pr.bytes, at + 10, pr.end), pr.end);
        st.held = r.held;
        const std::string content = "/X Do";
        interp_content_full(&st, (const uint8_t*)content.data(), (int)content.size());
        std::string got = st.out.data ? std::string((const char*)st.out.data, st.out.len) : "";
        EXPECT_EQ(got, r.out) << r.why;
        EXPECT_EQ(st.held, r.held) << "a form gives back what it held";
    }
}

TEST(DocumentText, PagesPastTheLimitCountAsEmpty) {
    loaded l(testpdf::simple_doc({"BT /F1 12 Tf (hello) Tj ET", "BT /F1 12 Tf (world) Tj ET",
                                  "BT /F1 12 Tf (again) Tj ET"}));
    struct row {
        size_t limit;
        const char* out;
        const char* why;
    } rows[] = {
        {DOC_TEXT_LIMIT, "hello\fworld\fagain", "far from the limit"},
        {17, "hello\fworld\fagain", "the text fills the limit exactly"},
        {16, "hello\fworld\f", "the last page would pass it by one byte"},
        {11, "hello\fworld", "no form feed past the limit either"},
        {4, "", "the first page does not fit: no form feeds follow an empty start"},
        {SIZE_MAX, "hello\fworld\fagain", "a larger limit is lowered to DOC_TEXT_LIMIT"},
    };
    for (const row& r : rows) {
        size_t len = 0;
        char* t = join_pages_alloc(l.d, &len, r.limit);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(std::string(t, len), r.out) << r.why;
        EXPECT_EQ(strlen(t), len);
        free(t);
    }
}
