#include "drawing_read.h"

#include <QStringList>

#include <new>

#include "element_cache.h"
#include "file_types.h"
#include "local_file_names.h"

namespace planora {

namespace {

// Below this many elements the boxes cost next to nothing wherever they are built.
constexpr std::size_t kBoxesOnReaderMinElements = 10'000;

}  // namespace

DrawingRead::DrawingRead(std::string path) : path_(std::move(path)) {
    OpenOptions options;
    options.cancel = &cancel_;
    options.progress = [this](int percent) { percent_.store(percent); };
    result_ = std::async(std::launch::async, [this, options] {
        DrawingReadResult read;
        read.open = openDrawing(path_, options);
        if (read.open.ok() && !cancel_.load() &&
            read.open.model->store.elementCount() >= kBoxesOnReaderMinElements) {
            // Without memory for them the window builds them later, or reports why it cannot.
            try {
                auto boxes = std::make_shared<ElementCache>();
                boxes->build(read.open.model->store);
                read.boxes = std::move(boxes);
            } catch (const std::bad_alloc&) {
            }
        }
        return read;
    });
}

DrawingRead::~DrawingRead() {
    cancel_.store(true);
}

std::unique_ptr<DrawingRead> DrawingRead::startForCommandLine(const QStringList& files) {
    if (files.isEmpty()) {
        return nullptr;
    }
    const QString& first = files.front();
    // The same checks as the window's intake: never a folder, pipe or device, and only a file
    // that it would read as a drawing.
    if (nonRegularFileText(first) || classifyFile(first) != FileKind::Drawing) {
        return nullptr;
    }
    return std::make_unique<DrawingRead>(localFileName(first));
}

bool DrawingRead::finished(std::chrono::milliseconds wait) const {
    return result_.wait_for(wait) == std::future_status::ready;
}

DrawingReadResult DrawingRead::take() {
    return result_.get();
}

}  // namespace planora
