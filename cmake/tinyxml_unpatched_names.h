#pragma once
// Forced into every translation unit that is built on the unmodified parser
// (third_party/tinyxml-unpatched): each of the parser's names that the linker sees is
// renamed, so that it and the parser the library ships live in one program side by side.
#define TiXmlAttribute UnpatchedTiXmlAttribute
#define TiXmlAttributeSet UnpatchedTiXmlAttributeSet
#define TiXmlBase UnpatchedTiXmlBase
#define TiXmlComment UnpatchedTiXmlComment
#define TiXmlCursor UnpatchedTiXmlCursor
#define TiXmlDeclaration UnpatchedTiXmlDeclaration
#define TiXmlDocument UnpatchedTiXmlDocument
#define TiXmlElement UnpatchedTiXmlElement
#define TiXmlFOpen UnpatchedTiXmlFOpen
#define TiXmlHandle UnpatchedTiXmlHandle
#define TiXmlNode UnpatchedTiXmlNode
#define TiXmlParsingData UnpatchedTiXmlParsingData
#define TiXmlPrinter UnpatchedTiXmlPrinter
#define TiXmlString UnpatchedTiXmlString
#define TiXmlText UnpatchedTiXmlText
#define TiXmlUnknown UnpatchedTiXmlUnknown
#define TiXmlVisitor UnpatchedTiXmlVisitor
