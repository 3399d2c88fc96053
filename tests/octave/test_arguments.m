function test_arguments()
  % Argument counts and input checks of both plug-ins: every bad call ends in
  % a clear error before anything is made (no log file appears), and a good
  % call afterwards solves.
  write_options();
  mcp = {1, 1, 0, 0, Inf, 'shifted_identity'};
  lcp = {1, 1, 0, 0, Inf, sparse(1), -1};

  % plug-in, outputs asked for, arguments, message pattern
  counts = {
    'mcpgate', 2, mcp(1:5),          'Not enough input arguments\.'
    'mcpgate', 1, mcp(1:5),          'Not enough input arguments\.'
    'mcpgate', 1, mcp,               'Not enough output arguments\.'
    'mcpgate', 0, mcp,               'Not enough output arguments\.'
    'mcpgate', 5, mcp,               'Too many output arguments\.'
    'mcpgate', 2, [mcp, {0, 0}],     'Too many input arguments\.'
    'lcpgate', 2, lcp(1:6),          'Not enough input arguments\.'
    'lcpgate', 1, lcp,               'Not enough output arguments\.'
    'lcpgate', 5, lcp,               'Too many output arguments\.'
    'lcpgate', 2, [lcp, {0, 0}],     'Too many input arguments\.'
  };
  run_cases(counts);

  % Inputs common to both plug-ins, by position: n, nnz, z, lb, ub. nnz is
  % a bound that the model caps at n*n: any size is taken, Inf included;
  % only NaN and negative values are refused.
  bad_counts = {
    'a',         'must be a real numeric scalar'
    [1 1],       'must be a real numeric scalar'
    1 + 2i,      'must be a real numeric scalar'
    true,        'must be a real numeric scalar'
    {1},         'must be a real numeric scalar'
    [],          'must be a real numeric scalar'
    NaN,         'must be finite'
    Inf,         'must be finite'
    -Inf,        'must be finite'
    -1,          'must not be negative'
    2147483648,  'must not exceed 2147483647'
  };
  bad_bounds = [bad_counts(1:6, :); {
    NaN,         'must not be NaN'
    -Inf,        'must not be negative'
    -1,          'must not be negative'
  }];
  bad_vectors = {
    [0 0],       'must be a real full double array with n = 1 entries'
    [],          'must be a real full double array with n = 1 entries'
    'a',         'must be a real full double array'
    single(0),   'must be a real full double array'
    int32(0),    'must be a real full double array'
    1i,          'must be a real full double array'
    sparse(0),   'must be a real full double array'
    {0},         'must be a real full double array'
  };
  names = {'n', 'nnz', 'z', 'lb', 'ub'};
  cases = {};
  for plugin = {'mcpgate', 'lcpgate'}
    good = ifelse(strcmp(plugin{1}, 'mcpgate'), mcp, lcp);
    for position = 1:5
      table = {bad_counts, bad_bounds, bad_vectors, bad_vectors, bad_vectors}{position};
      for k = 1:rows(table)
        args = good;
        args{position} = table{k, 1};
        cases(end + 1, :) = {plugin{1}, 2, args, ['Input ' names{position} ' ' table{k, 2}]};
      end
    end
    % The optional start vector is checked like z.
    for k = 1:rows(bad_vectors)
      cases(end + 1, :) = {plugin{1}, 2, [good, bad_vectors(k, 1)], ...
                           ['Input startvec ' bad_vectors{k, 2}]};
    end
  end
  run_cases(cases);

  % Inputs of one plug-in: the function name, the matrix M and q (real
  % numbers: a NaN or an infinite entry is refused with its place).
  two = {2, 4, [0; 0], [0; 0], [Inf; Inf]};
  own = {
    'mcpgate', 2, [mcp(1:5), {5}],            'Input fname must be a function name'
    'mcpgate', 2, [mcp(1:5), {''}],           'Input fname must be a function name'
    'mcpgate', 2, [mcp(1:5), {['ab'; 'cd']}], 'Input fname must be a function name'
    'mcpgate', 2, [mcp(1:5), {{'f'}}],        'Input fname must be a function name'
    'mcpgate', 2, [mcp(1:5), {'@(x, f) x'}],  'Input fname must be a function name'
    'lcpgate', 2, [lcp(1:5), {1, -1}],                'Input M must be a real sparse double matrix of size 1-by-1'
    'lcpgate', 2, [lcp(1:5), {sparse(2, 2), -1}],     'Input M must be a real sparse double matrix of size 1-by-1'
    'lcpgate', 2, [lcp(1:5), {sparse(1i), -1}],       'Input M must be a real sparse double matrix'
    'lcpgate', 2, [lcp(1:5), {sparse(true), -1}],     'Input M must be a real sparse double matrix'
    'lcpgate', 2, [lcp(1:5), {sparse(1), [1 2]}],     'Input q must be a real full double array with n = 1 entries'
    'lcpgate', 2, [lcp(1:5), {sparse(1), 'q'}],       'Input q must be a real full double array'
    'lcpgate', 2, [two, {sparse([1 0; NaN 1]), [0; 0]}], 'Input M must have finite entries: M\(2, 1\) is nan'
    'lcpgate', 2, [two, {sparse([1 -Inf; 0 1]), [0; 0]}], 'Input M must have finite entries: M\(1, 2\) is -inf'
    'lcpgate', 2, [two, {speye(2), [0; Inf]}],        'Input q must have finite entries: q\(2\) is inf'
    'lcpgate', 2, [two, {speye(2), [NaN; 0]}],        'Input q must have finite entries: q\(1\) is nan'
    'lcpgate', 2, [two(1), {1}, two(3:5), {sparse(ones(2)), [0; 0]}], ...
                                              'Input M stores 4 entries, more than nnz allows \(1\)'
    'lcpgate', 2, [two(1), {0}, two(3:5), {sparse([1 0; 0 1]), [0; 0]}], ...
                                              'Input M stores 2 entries, more than nnz allows \(1\)'
  };
  run_cases(own);

  % z receives the solution in place, so it must be an array whose data the
  % host shares with the caller. A range or a diagonal matrix is stored in a
  % form of its own and handed over as a copy: refused, with the way to
  % pass z. Arrays made in the ways the message names receive the solution.
  copied = {
    'a range',             @() 5:6
    'a diagonal matrix',   @() eye(2)(:, 1)
  };
  own_arrays = {
    'a column',            @() [5; 6]
    'zeros',               @() zeros(2, 1)
    'a transposed range',  @() (5:6)'
    'a range made plain',  @() plain_range()
  };
  lcp2 = {[0; 0], [Inf; Inf], speye(2), -[1; 2]};
  for plugin = {'mcpgate', 'lcpgate'}
    rest = ifelse(strcmp(plugin{1}, 'mcpgate'), {[0; 0], [Inf; Inf], 'shifted_identity'}, lcp2);
    for k = 1:rows(copied)
      z = copied{k, 2}();
      expect_error(2, @() feval(plugin{1}, 2, 4, z, rest{:}), ...
                   'Input z is a .* which the host hands over as a copy.*z = zeros\(n, 1\)', ...
                   sprintf('%s, z %s', plugin{1}, copied{k, 1}));
    end
    for k = 1:rows(own_arrays)
      z = own_arrays{k, 2}();
      [status, time] = feval(plugin{1}, 2, 4, z, rest{:});
      expect(status == 1 && norm(z(:) - [1; 2], Inf) < 1e-8, '%s, z %s: solution not in z', ...
             plugin{1}, own_arrays{k, 1});
    end
  end

  % A part of an array shares that array's storage, as the help says: the
  % solution reaches those entries of the array and no other.
  x = fresh([7; 0; 0; 7]);
  [status, time] = lcpgate(2, 4, x(2:3), lcp2{:});
  expect(status == 1 && norm(x - [7; 1; 2; 7], Inf) < 1e-8, 'part of an array: x = %s', ...
         mat2str(x'));

  % After all of this, both plug-ins still solve.
  z = fresh(0);
  [status, time, F, J] = mcpgate(1, 1, z, 0, Inf, 'shifted_identity');
  expect(status == 1 && abs(z - 1) < 1e-8 && abs(F) < 1e-8 && full(J) == 1, ...
         'mcpgate after argument errors');
  z = fresh(0);
  [status, time, F, basis] = lcpgate(1, 1, z, 0, Inf, sparse(1), -1);
  expect(status == 1 && abs(z - 1) < 1e-8 && abs(F) < 1e-8 && basis == 0, ...
         'lcpgate after argument errors');
end

function run_cases(cases)
  for k = 1:rows(cases)
    if exist('logfile.tmp', 'file')
      delete('logfile.tmp');
    end
    [plugin, nout, args, pattern] = cases{k, :};
    label = sprintf('%s case %d (%s)', plugin, k, pattern);
    expect_error(nout, @() feval(plugin, args{:}), pattern, label);
    expect(~exist('logfile.tmp', 'file'), '%s: a log file was made', label);
  end
end

function z = plain_range()
  % A range turned into an array of its own by an assignment to an element.
  z = 5:6;
  z(1) = z(1);
end

function value = ifelse(condition, yes, no)
  if condition
    value = yes;
  else
    value = no;
  end
end
