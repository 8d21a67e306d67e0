// Page text extraction: interpreter state, page content, the content
// stream interpreter and glyph placement.
#pragma once

#include <cstdint>

#include "doc/doc.h"
#include "filter/filter.h"
#include "font/font.h"
#include "syntax/syntax.h"

namespace pdftext {

struct res_dict {
    const uint8_t* bytes;  // document bytes, or a member's body
    int start;             // the dictionary's first '<' (0 for a member)
    int end;               // exclusive end of the searchable range
};

enum {
    MAX_RES = 16,
    MAX_FONTS = 32,
    MAX_Q = 32,
    // A Do is followed while form_depth is at most this, so the page plus
    // eight nested forms can be interpreted at once.
    MAX_FORM_DEPTH = 7,
    INTERP_LEVELS = MAX_FORM_DEPTH + 2,
};

// Most bytes the joined content of one page or form may hold.  Parts that
// would take it past this are dropped, so every content length fits an int.
constexpr uint64_t CONTENT_LIMIT = 1u << 30;
// Most bytes of one page's text.  Appends that would pass it are dropped
// (only hostile ToUnicode sequences get there), so a page's text length
// always fits an int.
constexpr uint64_t TEXT_LIMIT = 1u << 30;

// The state of one page extraction.  Its font slots 0..font_count-1 are
// views of the document's cached fonts, except those marked in font_owned
// (parsed for this page alone when the cache is full).  Owns those, its
// visited flags, its text and its scratch buffers, all released by
// state_release (also run by the destructor); borrows the document.
struct interp_state {
    const doc* d = nullptr;
    const uint8_t* doc_data = nullptr;
    int doc_size = 0;
    res_dict res_dicts[MAX_RES] = {};
    int res_count = 0;
    char font_names[MAX_FONTS][64] = {};
    int font_count = 0;
    font fonts[MAX_FONTS];
    uint8_t font_owned[MAX_FONTS] = {};
    // One flag per object number for the forms already run on this page,
    // malloc'ed on the first Do (most pages have no forms).
    uint8_t* visited = nullptr;
    int visited_max = 0;
    // The call's work budget (borrowed), and the bytes of content the page
    // and the forms now running hold: a form is read only while the sum
    // stays within CONTENT_LIMIT.
    work_budget* work = nullptr;
    uint64_t held = 0;
    buf out = {};
    font cur_font;
    int has_font = 0;
    double font_size = 10.0;
    int font_index = 0;
    // Character and word spacing (Tc, Tw), unscaled; saved by q with the font.
    double char_spacing = 0;
    double word_spacing = 0;
    int saved_font_index[MAX_Q] = {};
    double saved_font_size[MAX_Q] = {};
    double saved_char_spacing[MAX_Q] = {};
    double saved_word_spacing[MAX_Q] = {};
    int q_depth = 0;
    double line_x = 0, line_y = 0;
    double x = 0, y = 0;
    double scale_x = 0, scale_y = 0;
    double hscale = 0;
    double prev_x = 0, prev_y = 0;
    double prev_end_x = 0;
    double leading = 0;
    unsigned has_prev = 0;
    int form_depth = 0;

    // Scratch, reused for the whole page so that no string costs an
    // allocation of its own: the pending string of each interpretation
    // level (a form's level keeps the invoking stream's string intact), one
    // block for the strings of arrays (arrays never nest across a Do), and
    // one name table for resource lookups (never held across a call).
    buf pending[INTERP_LEVELS] = {};
    buf array_str = {};
    name_table names;
    // The XObject name table of each registered resource dictionary, read
    // on the first Do that needs it (the bytes never change during a page,
    // so neither does the table); malloc'ed.
    name_table* xobj_tables[MAX_RES] = {};
    int xobj_counts[MAX_RES] = {};

    interp_state() = default;
    interp_state(const interp_state&) = delete;
    interp_state& operator=(const interp_state&) = delete;
    ~interp_state();
};

// Releases everything the state owns and leaves the font slots empty.
void state_release(interp_state* st);

// Adds a resource dictionary unless it is registered already or 16 are.
void register_res(interp_state* st, const uint8_t* bytes, int start, int end);
// Selects the first slot named `name` (when has_name), else no font.
void select_font(interp_state* st, const char* name, int has_name);
// Reads the fonts named by the /Font entry of the dictionary at pos.
void load_fonts_from(interp_state* st, const uint8_t* bytes, int len, int pos);

// Decoded content of a page or form XObject, parts joined by one space,
// of at most `limit` bytes; the decoding is charged to `w`.  1 with `out`
// holding it (caller frees), or 0 with nothing to free.
int get_page_content(const doc* d, const obj_entry& e, buf* out, work_budget* w,
                     uint64_t limit = CONTENT_LIMIT);
// Object number of the XObject registered under `name`, or -1.
int find_form_xobject(interp_state* st, const char* name);

// Interprets one decoded content stream.
void interp_content_full(interp_state* st, const uint8_t* data, int len);

// Appends n bytes to the page text unless that would pass TEXT_LIMIT.
void text_put(buf* out, const void* bytes, uint64_t n);

// Glyph placement and UTF-8 output.
void emit_glyphs(interp_state* st, const font& f, const uint8_t* s, int n);
// Places one glyph of the given advance.  The glyph ends `end_extra` after
// its advance (word spacing) and the position then moves on by `after`
// (character spacing), which the next glyph sees as a gap.
void glyph_layout(interp_state* st, double advance, double end_extra = 0,
                  double after = 0);
int tu_emit(interp_state* st, const font& f, int code);
// Appends code point cp to page text as UTF-8.  0 and U+000C (form feed,
// which separates pages) append nothing; surrogates and values above
// U+10FFFF become U+FFFD.
void utf8_emit(buf* out, uint32_t cp);

// Text of page `index` (0-based) as a malloc'ed NUL-terminated string the
// caller frees; null only when memory runs out.  The work is charged to
// `w`, which calls that read many pages share; without it the page has a
// budget of its own.
char* extract_page(const doc* d, int index, work_budget* w = nullptr);

}  // namespace pdftext
