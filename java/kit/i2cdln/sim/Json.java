package i2cdln.sim;

import java.lang.reflect.Array;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;

/**
 * The JSON the kit exchanges with dln-sim: the live page's API and the device providers' lines.
 * Written here rather than taken from a library so that the kit's jar needs nothing on the
 * class path beyond JUnit and the i2cdln jar. Objects read as ordered maps, arrays as lists,
 * integral numbers as {@code Long}, other numbers as {@code Double}.
 */
final class Json {
    private final String text;
    private int at;

    private Json(String text) {
        this.text = text;
    }

    /** Parses one JSON value; anything else than white space after it is an error. */
    static Object parse(String text) {
        Json reader = new Json(text);
        Object value = reader.value();
        reader.space();
        if (reader.at != text.length()) {
            throw reader.error("more after the value");
        }
        return value;
    }

    /** Parses a JSON object. */
    @SuppressWarnings("unchecked")
    static Map<String, Object> object(String text) {
        Object value = parse(text);
        if (!(value instanceof Map)) {
            throw new IllegalArgumentException("not a JSON object: " + text);
        }
        return (Map<String, Object>) value;
    }

    private IllegalArgumentException error(String what) {
        return new IllegalArgumentException("bad JSON at offset " + at + " (" + what + "): " + text);
    }

    private void space() {
        while (at < text.length() && " \t\r\n".indexOf(text.charAt(at)) >= 0) {
            at++;
        }
    }

    private Object value() {
        space();
        if (at >= text.length()) {
            throw error("a value expected");
        }
        char c = text.charAt(at);
        switch (c) {
            case '{':
                return object();
            case '[':
                return array();
            case '"':
                return string();
            default:
                for (String word : List.of("true", "false", "null")) {
                    if (text.startsWith(word, at)) {
                        at += word.length();
                        return word.equals("null") ? null : Boolean.valueOf(word);
                    }
                }
                return number();
        }
    }

    private Map<String, Object> object() {
        Map<String, Object> map = new LinkedHashMap<>();
        elements('}', () -> {
            space();
            if (at >= text.length() || text.charAt(at) != '"') {
                throw error("a key expected");
            }
            String key = string();
            space();
            expect(':');
            map.put(key, value());
        });
        return map;
    }

    private List<Object> array() {
        List<Object> list = new ArrayList<>();
        elements(']', () -> list.add(value()));
        return list;
    }

    /** The comma-separated elements after an opening bracket, up to the closing one. */
    private void elements(char close, Runnable element) {
        at++;
        space();
        if (at < text.length() && text.charAt(at) == close) {
            at++;
            return;
        }
        while (true) {
            element.run();
            space();
            if (at < text.length() && text.charAt(at) == ',') {
                at++;
                continue;
            }
            expect(close);
            return;
        }
    }

    private void expect(char c) {
        if (at >= text.length() || text.charAt(at) != c) {
            throw error("'" + c + "' expected");
        }
        at++;
    }

    private String string() {
        StringBuilder out = new StringBuilder();
        at++;
        while (at < text.length()) {
            char c = text.charAt(at++);
            if (c == '"') {
                return out.toString();
            }
            if (c != '\\') {
                out.append(c);
                continue;
            }
            if (at >= text.length()) {
                break;
            }
            char e = text.charAt(at++);
            switch (e) {
                case 'n' -> out.append('\n');
                case 't' -> out.append('\t');
                case 'r' -> out.append('\r');
                case 'b' -> out.append('\b');
                case 'f' -> out.append('\f');
                case 'u' -> {
                    if (at + 4 > text.length()) {
                        throw error("a short \\u escape");
                    }
                    out.append((char) Integer.parseInt(text.substring(at, at + 4), 16));
                    at += 4;
                }
                default -> out.append(e); // \" \\ \/
            }
        }
        throw error("an unterminated string");
    }

    private Number number() {
        int start = at;
        while (at < text.length() && "+-0123456789.eE".indexOf(text.charAt(at)) >= 0) {
            at++;
        }
        String digits = text.substring(start, at);
        try {
            if (digits.matches("-?\\d{1,18}")) {
                return Long.valueOf(digits);
            }
            return Double.valueOf(digits);
        } catch (NumberFormatException e) {
            at = start;
            throw error("a value expected");
        }
    }

    /** Writes maps, lists, arrays, numbers, strings, booleans and null as JSON. */
    static String write(Object value) {
        StringBuilder out = new StringBuilder();
        write(value, out);
        return out.toString();
    }

    private static void write(Object value, StringBuilder out) {
        if (value == null || value instanceof Boolean || value instanceof Number) {
            out.append(value);
        } else if (value instanceof Map<?, ?> map) {
            out.append('{');
            String comma = "";
            for (Map.Entry<?, ?> entry : map.entrySet()) {
                out.append(comma);
                write(String.valueOf(entry.getKey()), out);
                out.append(':');
                write(entry.getValue(), out);
                comma = ",";
            }
            out.append('}');
        } else if (value instanceof Iterable<?> list) {
            out.append('[');
            String comma = "";
            for (Object item : list) {
                out.append(comma);
                write(item, out);
                comma = ",";
            }
            out.append(']');
        } else if (value.getClass().isArray()) {
            List<Object> items = new ArrayList<>();
            for (int i = 0; i < Array.getLength(value); i++) {
                items.add(Array.get(value, i));
            }
            write(items, out);
        } else {
            quote(value.toString(), out);
        }
    }

    private static void quote(String s, StringBuilder out) {
        out.append('"');
        for (char c : s.toCharArray()) {
            switch (c) {
                case '"' -> out.append("\\\"");
                case '\\' -> out.append("\\\\");
                case '\n' -> out.append("\\n");
                case '\r' -> out.append("\\r");
                case '\t' -> out.append("\\t");
                default -> {
                    if (c < 0x20) {
                        out.append(String.format("\\u%04x", (int) c));
                    } else {
                        out.append(c);
                    }
                }
            }
        }
        out.append('"');
    }
}
