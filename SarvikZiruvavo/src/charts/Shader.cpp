#include "Shader.hpp"

#include "ColormapMaterial.hpp"

#include <QOpenGLShaderProgram>
#include <QSGTexture>

const char* const* Shader::attributeNames() const
{
    static const char* const names[] = { "aVertex", "aTexCoord", nullptr };
    return names;
}

const char* Shader::vertexShader() const
{
    return "attribute highp vec4 aVertex;\n"
           "attribute highp vec2 aTexCoord;\n"
           "uniform highp mat4 qt_Matrix;\n"
           "varying highp vec2 vTexCoord;\n"
           "void main() {\n"
           "    gl_Position = qt_Matrix * aVertex;\n"
           "    vTexCoord = aTexCoord;\n"
           "}\n";
}

// Samples the two values around the fragment and blends them by its distance
// from each. The texture is sampled without filtering, so each sample is
// exactly one value's colour.
const char* Shader::fragmentShader() const
{
    return "uniform lowp float qt_Opacity;\n"
           "uniform highp float xScale;\n"
           "uniform lowp sampler2D colorTable;\n"
           "varying highp vec2 vTexCoord;\n"
           "void main() {\n"
           "    highp float s = vTexCoord.x;\n"
           "    highp float left = floor(s / xScale) * xScale;\n"
           "    highp float right = left + xScale;\n"
           "    lowp vec4 leftColor = texture2D(colorTable, vec2(left, vTexCoord.y));\n"
           "    lowp vec4 rightColor = texture2D(colorTable, vec2(right, vTexCoord.y));\n"
           "    gl_FragColor = mix(leftColor, rightColor, (s - left) / (right - left)) * qt_Opacity;\n"
           "}\n";
}

void Shader::initialize()
{
    m_matrixId = program()->uniformLocation("qt_Matrix");
    m_opacityId = program()->uniformLocation("qt_Opacity");
    m_xScaleId = program()->uniformLocation("xScale");
    m_colorTableId = program()->uniformLocation("colorTable");
}

void Shader::updateState(const RenderState& state, QSGMaterial* newMaterial, QSGMaterial*)
{
    if (state.isMatrixDirty())
        program()->setUniformValue(m_matrixId, state.combinedMatrix());
    if (state.isOpacityDirty())
        program()->setUniformValue(m_opacityId, state.opacity());
    const State& material = static_cast<ColormapMaterial*>(newMaterial)->state();
    program()->setUniformValue(m_colorTableId, 0);
    program()->setUniformValue(m_xScaleId, material.xScale);
    if (material.texture)
        material.texture->bind();
}
