#include "vector_export.h"

#include <QString>
#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <map>
#include <mutex>
#include <new>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "buffered_output.h"
#include "element_geometry.h"
#include "huffman_deflate.h"
#include "output_file.h"
#include "text_encoding.h"

#include "xml_text.h"

namespace planora {

namespace {

constexpr double kDegree = 3.141592653589793 / 180.0;
constexpr double kPointsPerUnit = 72.0 / 2.54;      // one drawing unit is one centimetre on paper
constexpr std::uint32_t kAreaColour = 0x008000FFu;  // areas are filled in this fixed colour

// The layers of a drawing in ascending number with the elements that can be written, in array
// order within each layer. Elements with non-finite or absurd geometry are counted, not kept.
struct LayerPlan {
    int number = 0;
    std::string label;  // "<number> <name>", UTF-8
    std::string labelCp1252;
    bool on = true;
    std::vector<std::uint32_t> elements;
};

struct DrawingPlan {
    std::vector<LayerPlan> layers;
    GeometryBox box{0, 0, 1, 1};  // what the visible elements cover
    std::size_t skipped = 0;
};

void include(GeometryBox& box, bool& any, const GeometryBox& b) {
    if (!any) {
        box = b;
        any = true;
        return;
    }
    box.xmin = std::min(box.xmin, b.xmin);
    box.ymin = std::min(box.ymin, b.ymin);
    box.xmax = std::max(box.xmax, b.xmax);
    box.ymax = std::max(box.ymax, b.ymax);
}

DrawingPlan planDrawing(const DrawingModel& model) {
    DrawingPlan plan;
    const ElementStore& store = model.store;
    std::map<int, LayerPlan> layers;
    std::map<int, bool> anyEntryOn;
    for (const LayerEntry& entry : model.layers) {
        auto [it, fresh] = layers.try_emplace(entry.number);
        if (fresh) {
            it->second.labelCp1252 = std::to_string(entry.number);
            if (!entry.name.empty()) {
                it->second.labelCp1252 += " " + entry.name;
            }
        }
        anyEntryOn[entry.number] = anyEntryOn[entry.number] || entry.visible != 0;
    }
    std::map<int, bool> hidden;
    bool any = false;
    const auto& elements = store.elements();
    for (std::size_t i = 0; i < elements.size(); ++i) {
        const Element& e = elements[i];
        if (!exportableGeometry(store, e)) {
            ++plan.skipped;
            continue;
        }
        auto [it, fresh] = layers.try_emplace(e.layer());
        if (fresh) {
            it->second.labelCp1252 = std::to_string(e.layer());
        }
        if (it->second.elements.empty()) {
            hidden[e.layer()] = !e.visible();
        }
        it->second.elements.push_back(static_cast<std::uint32_t>(i));
        if (!e.visible()) {
            continue;
        }
        if (e.kind == ElementKind::Polygon) {
            const PolygonPoints p = store.polygon(e);
            for (std::size_t k = 0; k < p.size(); ++k) {
                include(plan.box, any, {p.x[k], p.y[k], p.x[k], p.y[k]});
            }
        } else if (const auto b = extentsBox(store, e)) {
            include(plan.box, any, *b);
        }
    }
    for (auto& [number, layer] : layers) {
        layer.number = number;
        layer.label = toUtf8FromCp1252(layer.labelCp1252);
        layer.on = layer.elements.empty() ? anyEntryOn.count(number) == 0 || anyEntryOn[number]
                                          : !hidden[number];
        plan.layers.push_back(std::move(layer));
    }
    if (plan.box.xmax - plan.box.xmin <= 0) {
        plan.box.xmin -= 0.5;
        plan.box.xmax += 0.5;
    }
    if (plan.box.ymax - plan.box.ymin <= 0) {
        plan.box.ymin -= 0.5;
        plan.box.ymax += 0.5;
    }
    return plan;
}

// Dash patterns in points of paper (or hundredths of a centimetre in the SVG), by dash style.
std::vector<double> dashPattern(DashStyle style) {
    switch (style) {
        case DashStyle::Solid:
            return {};
        case DashStyle::Dash:
            return {6, 3};
        case DashStyle::Dot:
            return {0.5, 2.5};
        case DashStyle::DashDot:
            return {6, 2, 0.5, 2};
        case DashStyle::DashDotDot:
            return {6, 2, 0.5, 2, 0.5, 2};
    }
    return {};
}

std::uint32_t elementColour(const Element& e, const Renderer& renderer) {
    if (e.kind == ElementKind::Polygon) {
        return kAreaColour;
    }
    return renderer.blackOutput() ? 0u : renderer.penColour(e.penField);
}

std::vector<GeometryPoint> outline(const Element& e) {
    const double* g = e.g;
    if (e.kind == ElementKind::Rectangle) {
        const double c = std::cos(g[4] * kDegree), s = std::sin(g[4] * kDegree);
        const double hw = g[2] / 2, hh = g[3] / 2;
        return {{g[0] - hw * c - hh * s, g[1] - hw * s + hh * c},
                {g[0] + hw * c - hh * s, g[1] + hw * s + hh * c},
                {g[0] + hw * c + hh * s, g[1] + hw * s - hh * c},
                {g[0] - hw * c + hh * s, g[1] - hw * s - hh * c}};
    }
    const int corners = static_cast<int>(g[4]);
    std::vector<GeometryPoint> points;
    points.reserve(static_cast<std::size_t>(corners));
    for (int k = 0; k < corners; ++k) {
        const double a = (g[3] + k * 360.0 / corners) * kDegree;
        points.push_back({g[0] + g[2] * std::cos(a), g[1] + g[2] * std::sin(a)});
    }
    return points;
}

// The base point of a text line: the element keeps the top of the cell, 1.2 letter heights
// (0.9 font heights) above it.
GeometryPoint textBase(const Element& e) {
    const double a = e.g[2] * kDegree;
    const double lift = 0.9 * e.g[3];
    return {e.g[0] + std::sin(a) * lift, e.g[1] - std::cos(a) * lift};
}

// The counter-clockwise sweep of an arc in degrees, in [0, 360).
double arcSweep(double start, double end) {
    double sweep = std::fmod(end - start, 360.0);
    return sweep < 0 ? sweep + 360.0 : sweep;
}

// ---- SVG ----

void svgPoint(BufferedOutput& out, double x, double y) {
    out.number(x, false) << ' ';
    out.number(y == 0.0 ? 0.0 : -y, false);
}

void writeSvgElement(BufferedOutput& out, const ElementStore& store, const Element& e,
                     const Renderer& renderer) {
    const double* g = e.g;
    const std::uint32_t colour = elementColour(e, renderer);
    auto strokeAttributes = [&] {
        out << " stroke=\"" << svgColour(colour) << '"';
        const auto dashes = dashPattern(dashStyleForCode(e.lineStyle));
        if (!dashes.empty()) {
            out << " stroke-dasharray=\"";
            for (std::size_t k = 0; k < dashes.size(); ++k) {
                out << (k > 0 ? " " : "");
                out.number(dashes[k] * 0.01, false);
            }
            out << '"';
        }
        out << "/>\n";
    };
    switch (e.kind) {
        case ElementKind::Line:
            out << "<path d=\"M";
            svgPoint(out, g[0], g[1]);
            out << " L";
            svgPoint(out, g[2], g[3]);
            out << '"';
            strokeAttributes();
            break;
        case ElementKind::Circle:
            out << "<circle cx=\"";
            out.number(g[0], false) << "\" cy=\"";
            out.number(-g[1], false) << "\" r=\"";
            out.number(std::abs(g[2]), false) << '"';
            strokeAttributes();
            break;
        case ElementKind::Arc: {
            const double sweep = arcSweep(g[3], g[4]);
            if (sweep == 0.0) {
                break;  // both ends at one point: nothing to draw
            }
            const double r = std::abs(g[2]);
            out << "<path d=\"M";
            svgPoint(out, g[0] + r * std::cos(g[3] * kDegree), g[1] + r * std::sin(g[3] * kDegree));
            out << " A";
            out.number(r, false) << ' ';
            out.number(r, false) << (sweep > 180.0 ? " 0 1 0 " : " 0 0 0 ");
            svgPoint(out, g[0] + r * std::cos(g[4] * kDegree), g[1] + r * std::sin(g[4] * kDegree));
            out << '"';
            strokeAttributes();
            break;
        }
        case ElementKind::Text: {
            const GeometryPoint base = textBase(e);
            out << "<text x=\"";
            out.number(base.x, false) << "\" y=\"";
            out.number(-base.y, false) << "\" font-size=\"";
            out.number(std::abs(g[3]), false) << "\" fill=\"" << svgColour(colour) << '"';
            if (g[2] != 0.0) {
                out << " transform=\"rotate(";
                out.number(-g[2], false) << ' ';
                out.number(base.x, false) << ' ';
                out.number(-base.y, false) << ")\"";
            }
            out << '>' << xmlEscaped(toUtf8FromCp1252(store.text(e))) << "</text>\n";
            break;
        }
        case ElementKind::RegularPolygon:
        case ElementKind::Rectangle: {
            out << "<path d=\"M";
            const auto points = outline(e);
            for (std::size_t k = 0; k < points.size(); ++k) {
                out << (k > 0 ? " L" : "");
                svgPoint(out, points[k].x, points[k].y);
            }
            out << " Z\"";
            strokeAttributes();
            break;
        }
        case ElementKind::Polygon: {
            const PolygonPoints p = store.polygon(e);
            out << "<path fill=\"" << svgColour(colour) << "\" stroke=\"none\" d=\"M";
            for (std::size_t k = 0; k < p.size(); ++k) {
                out << (k > 0 ? " L" : "");
                svgPoint(out, p.x[k], p.y[k]);
            }
            out << " Z\"/>\n";
            break;
        }
    }
}

}  // namespace

VectorExportResult writeSvgDrawing(QIODevice& device, const DrawingModel& model,
                                   const Renderer& renderer, const VectorExportOptions& options) {
    VectorExportResult result;
    const DrawingPlan plan = planDrawing(model);
    result.skipped = plan.skipped;
    const GeometryBox& b = plan.box;
    const double margin = 0.02 * std::max(b.xmax - b.xmin, b.ymax - b.ymin);
    const double x0 = b.xmin - margin, y0 = -b.ymax - margin;
    const double w = b.xmax - b.xmin + 2 * margin, h = b.ymax - b.ymin + 2 * margin;

    BufferedOutput out(&device);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<svg xmlns=\"http://www.w3.org/2000/svg\" "
           "xmlns:inkscape=\"http://www.inkscape.org/namespaces/inkscape\" width=\"";
    out.number(w, false) << "cm\" height=\"";
    out.number(h, false) << "cm\" viewBox=\"";
    out.number(x0, false) << ' ';
    out.number(y0, false) << ' ';
    out.number(w, false) << ' ';
    out.number(h, false)
        << "\">\n<title>"
        << xmlEscaped(printableFileName(
               std::filesystem::path(model.currentDrawingPath).filename().string()))
        << "</title>\n";
    if (options.background) {
        out << "<rect x=\"";
        out.number(x0, false) << "\" y=\"";
        out.number(y0, false) << "\" width=\"";
        out.number(w, false) << "\" height=\"";
        out.number(h, false) << "\" fill=\"" << svgColour(*options.background) << "\"/>\n";
    }
    const auto& elements = model.store.elements();
    for (const LayerPlan& layer : plan.layers) {
        out << "<g id=\"layer" << std::to_string(layer.number)
            << "\" inkscape:groupmode=\"layer\" inkscape:label=\"" << xmlEscaped(layer.label)
            << "\" fill=\"none\" stroke-width=\"0.02\" stroke-linecap=\"round\" "
               "font-family=\"Liberation Sans\""
            << (layer.on ? "" : " style=\"display:none\"") << ">\n";
        for (std::uint32_t index : layer.elements) {
            writeSvgElement(out, model.store, elements[index], renderer);
            if (out.failed()) {
                break;
            }
        }
        out << "</g>\n";
    }
    out << "</svg>\n";
    out.flush();
    if (out.failed()) {
        result.error = "Ausgabedatei kann nicht geschrieben werden.";
    }
    return result;
}

namespace {

// ---- PDF ----

// The content stream, compressed as it is written. The text is formatted into blocks on the
// calling thread while a second thread Huffman-codes the previous blocks (the text is mostly
// digits, which that packs to about half) and writes them out, so the two halves of the work
// overlap. At most a few blocks are in flight, which keeps memory small.
class DeflatedStream {
  public:
    explicit DeflatedStream(BufferedOutput& out) : out_(out), deflater_(packed_) {
        text_.reserve(kBlockSize + 4096);
        worker_ = std::thread([this] { run(); });
    }
    ~DeflatedStream() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        worker_.join();
    }
    DeflatedStream(const DeflatedStream&) = delete;
    DeflatedStream& operator=(const DeflatedStream&) = delete;

    DeflatedStream& operator<<(std::string_view s) {
        text_.append(s);
        if (text_.size() >= kBlockSize) {
            handOver(false);
        }
        return *this;
    }
    DeflatedStream& operator<<(char c) {
        text_.push_back(c);
        return *this;
    }
    DeflatedStream& number(double v) {
        char text[400];
        const auto r = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed);
        return *this << (r.ec == std::errc()
                             ? std::string_view(text, static_cast<std::size_t>(r.ptr - text))
                             : std::string_view("0"));
    }
    DeflatedStream& point(double x, double y) {
        number(x) << ' ';
        return number(y) << ' ';
    }
    // A colour channel of 0..255 as the shortest decimal that maps back to the same byte.
    DeflatedStream& channel(unsigned value) {
        if (value == 0 || value == 255) {
            return *this << (value == 0 ? "0" : "1");
        }
        // Three decimals are within 0.13 of a step of 1/255; fewer where they are enough.
        unsigned thousandths = (value * 1000 + 127) / 255;
        char text[8] = {'.'};
        std::size_t n = 1;
        for (unsigned digits = 3, div = 100; digits > 0; --digits, div /= 10) {
            text[n++] = static_cast<char>('0' + thousandths / div % 10);
        }
        while (n > 2 && text[n - 1] == '0') {
            --n;
        }
        return *this << std::string_view(text, n);
    }
    // True once compressing or writing failed; what is formatted after that is dropped.
    bool failed() const { return failed_.load(std::memory_order_relaxed); }

    // Ends the stream; returns the compressed length, or none when compression failed.
    std::optional<std::size_t> finish() {
        handOver(true);
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return done_; });
        if (failed()) {
            return std::nullopt;
        }
        return compressed_;
    }

  private:
    static constexpr std::size_t kBlockSize = std::size_t{1} << 18;
    static constexpr std::size_t kBlocksInFlight = 8;  // rides out a thread kept waiting

    // Queues the current block for the worker and takes a spare one to fill next.
    void handOver(bool last) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return queue_.size() < kBlocksInFlight || done_; });
        queue_.push_back(std::move(text_));
        last_ = last_ || last;
        if (!spare_.empty()) {
            text_ = std::move(spare_.back());
            spare_.pop_back();
        } else {
            text_ = std::string();
            text_.reserve(kBlockSize + 4096);
        }
        lock.unlock();
        changed_.notify_all();
    }

    void run() {
        for (;;) {
            std::string block;
            bool last = false;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [this] { return !queue_.empty() || stop_; });
                if (queue_.empty()) {
                    return;  // given up before the end
                }
                block = std::move(queue_.front());
                queue_.pop_front();
                last = last_ && queue_.empty();
            }
            if (!failed()) {
                try {
                    compress(block, last);
                } catch (const std::bad_alloc&) {
                    failed_ = true;
                }
            }
            block.clear();
            {
                std::lock_guard lock(mutex_);
                spare_.push_back(std::move(block));
                done_ = last;
            }
            changed_.notify_all();
            if (last) {
                return;
            }
        }
    }

    void compress(const std::string& block, bool last) {
        deflater_.block(block);
        if (last) {
            deflater_.finish();
        }
        out_.write(packed_.data(), packed_.size());
        compressed_ += packed_.size();
        packed_.clear();
        if (out_.failed()) {
            failed_ = true;
        }
    }

    // Touched only by the worker until finish() has seen it done.
    BufferedOutput& out_;
    std::string packed_;
    HuffmanDeflater deflater_;
    std::size_t compressed_ = 0;
    std::atomic<bool> failed_ = false;
    // Touched only by the formatting thread.
    std::string text_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::string> queue_;
    std::vector<std::string> spare_;
    bool last_ = false;
    bool done_ = false;
    bool stop_ = false;
    std::thread worker_;
};

// A PDF text string: plain when printable ASCII, else UTF-16 with a byte order mark.
std::string pdfTextString(const std::string& utf8) {
    const bool ascii = std::all_of(utf8.begin(), utf8.end(), [](char c) {
        return c >= 0x20 && c < 0x7F && c != '(' && c != ')' && c != '\\';
    });
    if (ascii) {
        return "(" + utf8 + ")";
    }
    std::string out = "<FEFF";
    char hex[8];
    for (const QChar u : QString::fromStdString(utf8)) {
        std::snprintf(hex, sizeof hex, "%04X", static_cast<unsigned>(u.unicode()));
        out += hex;
    }
    return out + ">";
}

// A string in the font's encoding (Windows code page 1252 is the standard font's WinAnsi).
std::string pdfLiteral(std::string_view cp1252) {
    std::string out = "(";
    for (char c : cp1252) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '(' || c == ')' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            out += ' ';
        } else {
            out += c;
        }
    }
    return out + ")";
}

void pdfColour(DeflatedStream& s, std::uint32_t colour, const char* op) {
    s.channel(colour & 0xFF) << ' ';
    s.channel((colour >> 8) & 0xFF) << ' ';
    s.channel((colour >> 16) & 0xFF) << op;
}

// Bezier segments of at most 90 degrees along the circle from `start` for `sweep` degrees.
void pdfArcPath(DeflatedStream& s, double cx, double cy, double r, double start, double sweep,
                bool moveFirst) {
    const int pieces = std::max(1, static_cast<int>(std::ceil(sweep / 90.0)));
    const double step = sweep / pieces * kDegree;
    const double k = 4.0 / 3.0 * std::tan(step / 4) * r;
    double a = start * kDegree;
    if (moveFirst) {
        s.point(cx + r * std::cos(a), cy + r * std::sin(a)) << "m\n";
    }
    for (int i = 0; i < pieces; ++i) {
        const double b = a + step;
        s.point(cx + r * std::cos(a) - k * std::sin(a), cy + r * std::sin(a) + k * std::cos(a));
        s.point(cx + r * std::cos(b) + k * std::sin(b), cy + r * std::sin(b) - k * std::cos(b));
        s.point(cx + r * std::cos(b), cy + r * std::sin(b)) << "c\n";
        a = b;
    }
}

struct PdfPen {
    std::uint32_t colour = 0xFFFFFFFFu;
    DashStyle dash = DashStyle::Solid;
    bool dashSet = false;
};

void writePdfElement(DeflatedStream& s, const ElementStore& store, const Element& e,
                     const Renderer& renderer, double unitsPerPoint, PdfPen& pen) {
    const double* g = e.g;
    const std::uint32_t colour = elementColour(e, renderer);
    if (e.kind != ElementKind::Polygon && e.kind != ElementKind::Text) {
        if (colour != pen.colour) {
            pdfColour(s, colour, " RG\n");
            pen.colour = colour;
        }
        const DashStyle dash = dashStyleForCode(e.lineStyle);
        if (!pen.dashSet || dash != pen.dash) {
            s << "[";
            for (double d : dashPattern(dash)) {
                s.number(d * unitsPerPoint) << " ";
            }
            s << "] 0 d\n";
            pen.dash = dash;
            pen.dashSet = true;
        }
    }
    switch (e.kind) {
        case ElementKind::Line:
            s.point(g[0], g[1]) << "m ";
            s.point(g[2], g[3]) << "l S\n";
            break;
        case ElementKind::Circle:
            pdfArcPath(s, g[0], g[1], std::abs(g[2]), 0.0, 360.0, true);
            s << "h S\n";
            break;
        case ElementKind::Arc: {
            const double sweep = arcSweep(g[3], g[4]);
            if (sweep > 0.0) {
                pdfArcPath(s, g[0], g[1], std::abs(g[2]), g[3], sweep, true);
                s << "S\n";
            }
            break;
        }
        case ElementKind::Text: {
            const GeometryPoint base = textBase(e);
            const double a = g[2] * kDegree, size = std::abs(g[3]);
            s << "BT ";
            pdfColour(s, colour, " rg ");
            s << "/F1 1 Tf ";
            s.number(size * std::cos(a)) << " ";
            s.number(size * std::sin(a)) << " ";
            s.number(-size * std::sin(a)) << " ";
            s.number(size * std::cos(a)) << " ";
            s.point(base.x, base.y) << "Tm " << pdfLiteral(store.text(e)) << " Tj ET\n";
            break;
        }
        case ElementKind::RegularPolygon:
        case ElementKind::Rectangle: {
            const auto points = outline(e);
            for (std::size_t k = 0; k < points.size(); ++k) {
                s.point(points[k].x, points[k].y) << (k == 0 ? "m\n" : "l\n");
            }
            s << "h S\n";
            break;
        }
        case ElementKind::Polygon: {
            const PolygonPoints p = store.polygon(e);
            pdfColour(s, colour, " rg\n");
            for (std::size_t k = 0; k < p.size(); ++k) {
                s.point(p.x[k], p.y[k]) << (k == 0 ? "m\n" : "l\n");
            }
            s << "h f*\n";
            break;
        }
    }
}

}  // namespace

namespace {

// Where one page shows the drawing: points per unit and the page position of drawing (0, 0),
// the clip rectangle in points when the page is one tile of several, and the page key.
struct PdfPage {
    double width = 0;
    double height = 0;
    double scale = kPointsPerUnit;
    double tx = 0;
    double ty = 0;
    bool tiled = false;
    GeometryBox clip;     // in points
    GeometryBox visible;  // in drawing units: what the page can show
    std::string key;      // "Blatt 2/6, Spalte 2, Reihe 1"
};

constexpr double kMillimetre = 72.0 / 25.4;

std::vector<PdfPage> pdfPages(const GeometryBox& b, const VectorExportOptions& options) {
    const double w = b.xmax - b.xmin, h = b.ymax - b.ymin;
    const double margin = 10 * kMillimetre;
    const double cx = (b.xmin + b.xmax) / 2, cy = (b.ymin + b.ymax) / 2;
    auto centred = [&](double pageW, double pageH, double scale) {
        PdfPage page;
        page.width = pageW;
        page.height = pageH;
        page.scale = scale;
        page.tx = pageW / 2 - scale * cx;
        page.ty = pageH / 2 - scale * cy;
        page.visible = b;
        return page;
    };
    if (!options.pageWidthMm || !options.pageHeightMm) {
        // The drawing's own size at 1 unit = 1 cm, with 1 cm around it.
        return {centred(w * kPointsPerUnit + 2 * margin, h * kPointsPerUnit + 2 * margin,
                        kPointsPerUnit)};
    }
    const double shortSide = std::min(*options.pageWidthMm, *options.pageHeightMm) * kMillimetre;
    const double longSide = std::max(*options.pageWidthMm, *options.pageHeightMm) * kMillimetre;
    // Portrait or landscape: the one whose printable area suits the drawing's shape.
    const bool landscape = w > h;
    const double pageW = landscape ? longSide : shortSide;
    const double pageH = landscape ? shortSide : longSide;
    const double areaW = pageW - 2 * margin, areaH = pageH - 2 * margin;
    if (!options.trueScale) {
        return {centred(pageW, pageH, std::min(areaW / w, areaH / h))};
    }
    const double drawnW = w * kPointsPerUnit, drawnH = h * kPointsPerUnit;
    if (drawnW <= areaW && drawnH <= areaH) {
        return {centred(pageW, pageH, kPointsPerUnit)};
    }
    if (drawnW <= areaH && drawnH <= areaW) {
        return {centred(pageH, pageW, kPointsPerUnit)};
    }
    // Tiles of the printable area, each overlapping the next by 1 cm; the whole set centred on
    // the drawing.
    const double overlap = 10 * kMillimetre;
    const auto columns =
        static_cast<int>(std::max(1.0, std::ceil((drawnW - overlap) / (areaW - overlap))));
    const auto rows =
        static_cast<int>(std::max(1.0, std::ceil((drawnH - overlap) / (areaH - overlap))));
    const double totalW = columns * (areaW - overlap) + overlap;
    const double totalH = rows * (areaH - overlap) + overlap;
    // Drawing units at the top-left corner of the whole tiled area.
    const double left = cx - totalW / 2 / kPointsPerUnit;
    const double top = cy + totalH / 2 / kPointsPerUnit;
    std::vector<PdfPage> pages;
    const int count = columns * rows;
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            PdfPage page;
            page.width = pageW;
            page.height = pageH;
            page.tiled = true;
            const double x0 = left + column * (areaW - overlap) / kPointsPerUnit;
            const double y1 = top - row * (areaH - overlap) / kPointsPerUnit;
            page.tx = margin - kPointsPerUnit * x0;
            page.ty = margin + areaH - kPointsPerUnit * y1;
            page.clip = {margin, margin, margin + areaW, margin + areaH};
            page.visible = {x0, y1 - areaH / kPointsPerUnit, x0 + areaW / kPointsPerUnit, y1};
            page.key = "Blatt " + std::to_string(pages.size() + 1) + "/" + std::to_string(count) +
                       ", Spalte " + std::to_string(column + 1) + ", Reihe " +
                       std::to_string(row + 1);
            pages.push_back(page);
        }
    }
    return pages;
}

bool overlaps(const GeometryBox& a, const GeometryBox& b) {
    return a.xmin <= b.xmax && b.xmin <= a.xmax && a.ymin <= b.ymax && b.ymin <= a.ymax;
}

// Short lines at the corners of the printable area, outside it, to cut the tiles along.
void cropMarks(DeflatedStream& s, const GeometryBox& c) {
    const double gap = 2 * kMillimetre, len = 6 * kMillimetre;
    s << "0 0 0 RG 0.3 w [] 0 d\n";
    for (double x : {c.xmin, c.xmax}) {
        for (double y : {c.ymin, c.ymax}) {
            const double dx = x == c.xmin ? -1 : 1, dy = y == c.ymin ? -1 : 1;
            s.point(x + dx * gap, y) << "m ";
            s.point(x + dx * (gap + len), y) << "l S\n";
            s.point(x, y + dy * gap) << "m ";
            s.point(x, y + dy * (gap + len)) << "l S\n";
        }
    }
}

}  // namespace

VectorExportResult writePdfDrawing(QIODevice& device, const DrawingModel& model,
                                   const Renderer& renderer, const VectorExportOptions& options) {
    VectorExportResult result;
    const DrawingPlan plan = planDrawing(model);
    result.skipped = plan.skipped;
    const std::vector<PdfPage> pages = pdfPages(plan.box, options);

    BufferedOutput out(&device);
    std::vector<std::size_t> offsets;  // by object number - 1
    auto object = [&](std::size_t number) {
        if (offsets.size() < number) {
            offsets.resize(number);
        }
        offsets[number - 1] = out.offset();
        out << std::to_string(number) << " 0 obj\n";
    };
    auto ref = [](std::size_t n) { return std::to_string(n) + " 0 R"; };
    // Objects: 1 catalog, 2 page tree, 3 font, the layers, then page, content and its length
    // for every page.
    const std::size_t layerCount = plan.layers.size();
    const std::size_t firstLayer = 4;
    const std::size_t firstPage = firstLayer + layerCount;
    auto pageObject = [&](std::size_t i) { return firstPage + 3 * i; };

    out << "%PDF-1.5\n%\xE2\xE3\xCF\xD3\n";
    object(1);
    out << "<< /Type /Catalog /Pages 2 0 R /OCProperties << /OCGs [";
    for (std::size_t i = 0; i < layerCount; ++i) {
        out << ref(firstLayer + i) << " ";
    }
    out << "] /D << /Order [";
    for (std::size_t i = 0; i < layerCount; ++i) {
        out << ref(firstLayer + i) << " ";
    }
    out << "] /OFF [";
    for (std::size_t i = 0; i < layerCount; ++i) {
        if (!plan.layers[i].on) {
            out << ref(firstLayer + i) << " ";
        }
    }
    out << "] >> >> >>\nendobj\n";
    object(2);
    out << "<< /Type /Pages /Kids [";
    for (std::size_t i = 0; i < pages.size(); ++i) {
        out << ref(pageObject(i)) << " ";
    }
    out << "] /Count " << std::to_string(pages.size()) << " >>\nendobj\n";
    object(3);
    out << "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>\n"
           "endobj\n";
    for (std::size_t i = 0; i < layerCount; ++i) {
        object(firstLayer + i);
        out << "<< /Type /OCG /Name " << pdfTextString(plan.layers[i].label) << " >>\nendobj\n";
    }

    const ElementStore& store = model.store;
    const auto& elements = store.elements();
    bool compressed = true;
    for (std::size_t p = 0; p < pages.size() && !out.failed(); ++p) {
        const PdfPage& page = pages[p];
        object(pageObject(p));
        out << "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 ";
        out.number(page.width, true) << " ";
        out.number(page.height, true) << "] /Resources << /Font << /F1 3 0 R >> /Properties << ";
        for (std::size_t i = 0; i < layerCount; ++i) {
            out << "/L" << std::to_string(i) << " " << ref(firstLayer + i) << " ";
        }
        out << ">> >> /Contents " << ref(pageObject(p) + 1) << " >>\nendobj\n";
        object(pageObject(p) + 1);
        out << "<< /Length " << ref(pageObject(p) + 2) << " /Filter /FlateDecode >>\nstream\n";
        std::optional<std::size_t> length;
        {
            DeflatedStream s(out);
            if (options.background) {
                pdfColour(s, *options.background, " rg\n");
                s << "0 0 ";
                s.point(page.width, page.height) << "re f\n";
            }
            s << "q\n";
            if (page.tiled) {
                s.point(page.clip.xmin, page.clip.ymin);
                s.point(page.clip.xmax - page.clip.xmin, page.clip.ymax - page.clip.ymin)
                    << "re W n\n";
            }
            s.number(page.scale) << " 0 0 ";
            s.number(page.scale) << " ";
            s.point(page.tx, page.ty) << "cm\n";
            s.number(0.5 / page.scale) << " w 1 J 1 j\n";
            for (std::size_t i = 0; i < layerCount; ++i) {
                s << "/OC /L" << std::to_string(i) << " BDC\n";
                PdfPen pen;
                for (std::uint32_t index : plan.layers[i].elements) {
                    const Element& e = elements[index];
                    if (page.tiled) {
                        const auto box = cullingBox(store, e);
                        if (!box || !overlaps(*box, page.visible)) {
                            continue;
                        }
                    }
                    writePdfElement(s, store, e, renderer, 1.0 / page.scale, pen);
                }
                s << "EMC\n";
                if (s.failed()) {
                    break;
                }
            }
            s << "Q\n";
            if (page.tiled) {
                cropMarks(s, page.clip);
                s << "BT 0 0 0 rg /F1 8 Tf ";
                s.point(page.clip.xmin, 4 * kMillimetre)
                    << "Td " << pdfLiteral(page.key) << " Tj ET\n";
            }
            length = s.finish();
        }
        compressed = compressed && length.has_value();
        out << "\nendstream\nendobj\n";
        object(pageObject(p) + 2);
        out << std::to_string(length.value_or(0)) << "\nendobj\n";
    }
    const std::size_t xref = out.offset();
    out << "xref\n0 " << std::to_string(offsets.size() + 1) << "\n0000000000 65535 f \n";
    for (std::size_t offset : offsets) {
        char line[24];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
        out << line;
    }
    out << "trailer\n<< /Size " << std::to_string(offsets.size() + 1)
        << " /Root 1 0 R >>\nstartxref\n"
        << std::to_string(xref) << "\n%%EOF\n";
    out.flush();
    if (out.failed() || !compressed) {
        result.error = "Ausgabedatei kann nicht geschrieben werden.";
    }
    return result;
}

VectorExportResult exportVectorFile(VectorFormat format, const DrawingModel& model,
                                    const Renderer& renderer, const VectorExportOptions& options,
                                    const std::string& path) {
    const std::string cannotWrite =
        "Ausgabedatei kann nicht geschrieben werden: " + printableFileName(path);
    VectorExportResult result;
    OutputFile file(path);
    if (!file.begin()) {
        result.error = cannotWrite;
        return result;
    }
    try {
        switch (format) {
            case VectorFormat::Dxf:
                result = writeDxf(file, model, renderer);
                break;
            case VectorFormat::Svg:
                result = writeSvgDrawing(file, model, renderer, options);
                break;
            case VectorFormat::Pdf:
                result = writePdfDrawing(file, model, renderer, options);
                break;
        }
    } catch (const std::bad_alloc&) {
        file.discard();
        result.error = "Nicht genug Arbeitsspeicher für die Ausgabe: " + printableFileName(path);
        return result;
    }
    if (!result.error.empty()) {
        file.discard();
        result.error = cannotWrite;
    } else if (!file.commit()) {
        result.error = cannotWrite;
    }
    return result;
}

}  // namespace planora
